#pragma once

#include <cstdint>

// One receive buffer of a collecting transfer.
struct FtpSegment
{
    char* data = nullptr;
    uint32_t used = 0;
    uint32_t capacity = 0;
};
