#include "report/number_format.h"

namespace {

const char UNIT_PREFIXES[] = " kMGTPE";

constexpr uint64_t SAMPLES_PER_SECOND = OUTPUT_RATE_HZ;
constexpr uint64_t SAMPLES_PER_MINUTE = 60 * SAMPLES_PER_SECOND;
constexpr uint64_t SAMPLES_PER_HOUR = 60 * SAMPLES_PER_MINUTE;
constexpr uint64_t SAMPLES_PER_DAY = 24 * SAMPLES_PER_HOUR;
constexpr uint64_t SAMPLES_PER_WEEK = 7 * SAMPLES_PER_DAY;
constexpr uint64_t LARGEST_DIRECT_UNIT = 999999999;

uint64_t non_negative(int64_t value) {
    return value < 0 ? 0 : static_cast<uint64_t>(value);
}

} // namespace

void show_duration(FILE *stream, int64_t samples, int show_millis) {
    // Unsigned, so that the rounding term cannot overflow near 2^63 - 1.
    uint64_t v = non_negative(samples) + (show_millis ? 24 : 24000);
    uint64_t total_seconds = v / SAMPLES_PER_SECOND;
    uint64_t total_minutes = v / SAMPLES_PER_MINUTE;
    uint64_t total_hours = v / SAMPLES_PER_HOUR;
    uint64_t total_days = v / SAMPLES_PER_DAY;
    uint64_t weeks = v / SAMPLES_PER_WEEK;
    int seconds = static_cast<int>(total_seconds - 60 * total_minutes);
    int minutes = static_cast<int>(total_minutes - 60 * total_hours);
    int hours = static_cast<int>(total_hours - 24 * total_days);
    int days = static_cast<int>(total_days - 7 * weeks);
    int millis = static_cast<int>((v - SAMPLES_PER_SECOND * total_seconds) / 48);

    // The largest non-zero unit comes first without padding; every unit
    // below it follows, zero-filled to two digits (days never are).
    int level = weeks > 0 ? 4 : days > 0 ? 3 : hours > 0 ? 2 : minutes > 0 ? 1 : 0;
    if (level >= 4) {
        fprintf(stream, "%luw", static_cast<unsigned long>(weeks));
    }
    if (level >= 3) {
        fprintf(stream, "%id", days);
    }
    if (level >= 2) {
        fprintf(stream, level > 2 ? "%02ih" : "%ih", hours);
    }
    if (level >= 1) {
        fprintf(stream, level > 1 ? "%02im" : "%im", minutes);
    }
    fprintf(stream, level > 0 ? "%02i" : "%i", seconds);
    if (show_millis) {
        fprintf(stream, ".%03i", millis);
    }
    fprintf(stream, "s");
}

void show_scaled(FILE *stream, int64_t value, int decimal, const char *separator) {
    uint64_t v = non_negative(value);
    uint64_t base = decimal ? 1000 : 1024;
    int index = 0;
    uint64_t unit = 1;
    uint64_t half = 0;
    // The smallest prefix at which the value, rounded to whole units, stays
    // below one step of the base; the last prefix takes everything above.
    while (index < 6 && v >= base * unit - half) {
        index++;
        unit *= base;
        half = unit / 2;
    }
    char letter = UNIT_PREFIXES[index];
    uint64_t whole = (v + half) / unit;
    int scale;
    if (unit > 1 && whole <= 9) {
        scale = 100;
    } else if (unit > 1 && whole <= 99) {
        scale = 10;
    } else {
        fprintf(stream, "%lu%s%c", static_cast<unsigned long>(whole), separator, letter);
        return;
    }
    uint64_t scaled;
    if (unit <= LARGEST_DIRECT_UNIT) {
        scaled = (scale * v + half) / unit;
    } else {
        scaled = (v + half / scale) / (unit / scale);
    }
    unsigned long integer_part = static_cast<unsigned long>(scaled / scale);
    int fraction = static_cast<int>(scaled % scale);
    if (scale == 100) {
        fprintf(stream, "%lu.%02i%s%c", integer_part, fraction, separator, letter);
    } else {
        fprintf(stream, "%lu.%i%s%c", integer_part, fraction, separator, letter);
    }
}
