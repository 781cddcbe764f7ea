// The number formats against a slow, independent computation in 128-bit
// arithmetic, over random values of the whole range 0 to 2^63 - 1 and at the
// boundaries of every unit and prefix step.
#include "report/number_format.h"

#include "../support/capture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

__extension__ typedef unsigned __int128 u128;

std::string capture_duration(int64_t samples, int millis) {
    return capture_stream([&](FILE *s) { show_duration(s, samples, millis); });
}

std::string capture_scaled(int64_t value, int decimal, const char *separator) {
    return capture_stream([&](FILE *s) { show_scaled(s, value, decimal, separator); });
}

std::string two_digits(unsigned long long n) {
    return std::string(1, static_cast<char>('0' + n / 10)) + static_cast<char>('0' + n % 10);
}

// Rounds to milliseconds or seconds, then peels units off the remainder.
std::string reference_duration(int64_t samples, bool millis) {
    u128 v = static_cast<u128>(samples) + (millis ? 24 : 24000);
    const u128 second = 48000, minute = 60 * second, hour = 60 * minute, day = 24 * hour,
               week = 7 * day;
    unsigned long long weeks = static_cast<unsigned long long>(v / week);
    u128 rest = v % week;
    unsigned long long days = static_cast<unsigned long long>(rest / day);
    rest %= day;
    unsigned long long hours = static_cast<unsigned long long>(rest / hour);
    rest %= hour;
    unsigned long long minutes = static_cast<unsigned long long>(rest / minute);
    rest %= minute;
    unsigned long long seconds = static_cast<unsigned long long>(rest / second);
    unsigned long long ms = static_cast<unsigned long long>((rest % second) / 48);

    std::string text;
    if (weeks > 0) {
        text = std::to_string(weeks) + "w" + std::to_string(days) + "d" + two_digits(hours) + "h" +
               two_digits(minutes) + "m" + two_digits(seconds);
    } else if (days > 0) {
        text = std::to_string(days) + "d" + two_digits(hours) + "h" + two_digits(minutes) + "m" +
               two_digits(seconds);
    } else if (hours > 0) {
        text = std::to_string(hours) + "h" + two_digits(minutes) + "m" + two_digits(seconds);
    } else if (minutes > 0) {
        text = std::to_string(minutes) + "m" + two_digits(seconds);
    } else {
        text = std::to_string(seconds);
    }
    if (millis) {
        text += "." + std::to_string(ms / 100) + two_digits(ms % 100);
    }
    return text + "s";
}

// Picks the prefix at which the rounded value is below one base step, then
// derives the digits the way the format defines them.
std::string reference_scaled(int64_t value, bool decimal, const std::string &separator) {
    const u128 base = decimal ? 1000 : 1024;
    const u128 v = static_cast<u128>(value);
    int index = 6;
    for (int i = 0; i <= 5; i++) {
        u128 unit = 1;
        for (int k = 0; k < i; k++) {
            unit *= base;
        }
        u128 half = unit / 2;
        if ((v + half) / unit < base) {
            index = i;
            break;
        }
    }
    u128 unit = 1;
    for (int k = 0; k < index; k++) {
        unit *= base;
    }
    u128 half = unit / 2;
    const char letter = " kMGTPE"[index];
    u128 whole = (v + half) / unit;
    if (unit == 1 || whole >= 100) {
        return std::to_string(static_cast<unsigned long long>(whole)) + separator + letter;
    }
    u128 h = whole <= 9 ? 100 : 10;
    u128 x = unit <= 999999999 ? (h * v + half) / unit : (v + half / h) / (unit / h);
    std::string fraction = h == 100 ? two_digits(static_cast<unsigned long long>(x % h))
                                    : std::to_string(static_cast<unsigned long long>(x % h));
    return std::to_string(static_cast<unsigned long long>(x / h)) + "." + fraction + separator +
           letter;
}

// Values spread over every magnitude: a random bit length, then random bits.
std::vector<int64_t> random_values(size_t count) {
    std::mt19937_64 rng(20261208);
    std::vector<int64_t> values;
    for (size_t i = 0; i < count; i++) {
        int bits = static_cast<int>(rng() % 64);
        uint64_t mask = bits == 0 ? 0 : (~0ULL >> (64 - bits));
        values.push_back(static_cast<int64_t>(rng() & mask & 0x7FFFFFFFFFFFFFFFULL));
    }
    return values;
}

void add_around(std::vector<int64_t> &values, u128 point) {
    for (u128 v = point < 2 ? 0 : point - 2; v <= point + 2; v++) {
        if (v <= static_cast<u128>(INT64_MAX)) {
            values.push_back(static_cast<int64_t>(v));
        }
    }
}

TEST(NumberFormatProperty, DurationMatchesReference) {
    std::vector<int64_t> values = random_values(200000);
    const u128 units[] = {48, 48000, 2880000, 172800000, 4147200000ULL, 29030400000ULL};
    for (u128 unit : units) {
        for (u128 k = 1; unit * k <= static_cast<u128>(INT64_MAX) && k < (1ULL << 40); k *= 7) {
            for (u128 r : {u128(0), u128(24), u128(24000)}) {
                if (unit * k >= r) {
                    add_around(values, unit * k - r);
                }
            }
        }
    }
    add_around(values, static_cast<u128>(INT64_MAX) - 2);
    for (int64_t v : values) {
        ASSERT_EQ(capture_duration(v, 1), reference_duration(v, true)) << v;
        ASSERT_EQ(capture_duration(v, 0), reference_duration(v, false)) << v;
    }
}

TEST(NumberFormatProperty, ScaledMatchesReference) {
    std::vector<int64_t> values = random_values(200000);
    for (u128 base : {u128(1000), u128(1024)}) {
        u128 unit = 1;
        for (int i = 0; i <= 6; i++) {
            // Every place where the prefix, the number of decimals or a
            // rounded digit can change.
            for (u128 q : {u128(1), u128(9), u128(10), u128(99), u128(100), base}) {
                add_around(values, q * unit - unit / 2);
                add_around(values, q * unit);
                add_around(values, q * unit - unit / 200);
                add_around(values, q * unit - unit / 20);
            }
            unit *= base;
        }
    }
    add_around(values, static_cast<u128>(INT64_MAX) - 2);
    for (int64_t v : values) {
        ASSERT_EQ(capture_scaled(v, 0, ""), reference_scaled(v, false, "")) << v;
        ASSERT_EQ(capture_scaled(v, 1, " "), reference_scaled(v, true, " ")) << v;
    }
}

} // namespace
