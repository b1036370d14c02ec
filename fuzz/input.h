// The fuzzer's input, read front to back.
//
// Every value is taken from the next bytes of the input, little-endian. Once
// the input runs out (or a value no longer fits in what is left), each value
// is the fallback its reader names: reader calls then succeed with result 1
// and write their default data, so a short input still runs to the end of a
// successful call, and a seed need only spell out what it wants different.
#pragma once

#include <stddef.h>
#include <stdint.h>

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Exhausted() const { return at_ >= size_; }

    uint8_t Byte(uint8_t fallback) {
        if (at_ >= size_) return fallback;
        return data_[at_++];
    }

    uint16_t U16(uint16_t fallback) {
        uint32_t value = 0;
        if (!Take(2, value)) return fallback;
        return static_cast<uint16_t>(value);
    }

    uint32_t U32(uint32_t fallback) {
        uint32_t value = 0;
        if (!Take(4, value)) return fallback;
        return value;
    }

    int32_t I32(int32_t fallback) {
        return static_cast<int32_t>(U32(static_cast<uint32_t>(fallback)));
    }

    // A byte of card data: the input's next byte, or once it has run out a
    // running pattern that takes every value from 00 to FF in turn, so that
    // default data still tells every byte from its neighbours.
    uint8_t Data() {
        const uint8_t pattern = static_cast<uint8_t>(0x21 + 0x35 * pattern_++);
        return Byte(pattern);
    }

private:
    // The next count bytes as one little-endian value; false (and the rest of
    // the input used up) where fewer remain.
    bool Take(size_t count, uint32_t& value) {
        if (size_ - at_ < count) {
            at_ = size_;
            return false;
        }
        for (size_t i = 0; i < count; ++i) value |= static_cast<uint32_t>(data_[at_ + i]) << (8 * i);
        at_ += count;
        return true;
    }

    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
    uint32_t pattern_ = 0;
};
