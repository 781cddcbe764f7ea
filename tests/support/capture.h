// Runs a writer against a memory stream and returns what it wrote.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

template <typename Write> std::string capture_stream(Write write) {
    char *buffer = nullptr;
    size_t size = 0;
    FILE *stream = open_memstream(&buffer, &size);
    write(stream);
    fclose(stream);
    std::string text(buffer, size);
    free(buffer);
    return text;
}
