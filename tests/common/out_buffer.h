// A caller's output buffer: exactly the documented size plus guard bytes,
// all filled with a sentinel, so that a test sees every byte an export wrote.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

class OutBuffer {
public:
    static constexpr char kSentinel = '\xA5';
    static constexpr size_t kGuard = 16;

    explicit OutBuffer(size_t size) : size_(size), bytes_(size + kGuard, kSentinel) {}

    char* data() { return bytes_.data(); }
    size_t size() const { return size_; }
    const std::vector<char>& bytes() const { return bytes_; }

    // Not one byte written.
    testing::AssertionResult Untouched() const { return Matches({}); }

    // text, then the terminator, and nothing written behind it.
    testing::AssertionResult Holds(const std::string& text) const {
        std::vector<std::pair<size_t, std::string>> runs = {{0, text + '\0'}};
        return Matches(runs);
    }

    // The empty text with a second terminator at index: what a single-block
    // read leaves after a failure.
    testing::AssertionResult EmptyWithTerminatorAt(size_t index) const {
        return Matches({{0, std::string(1, '\0')}, {index, std::string(1, '\0')}});
    }

private:
    // Every byte is the sentinel except the given runs of expected bytes.
    testing::AssertionResult Matches(
        const std::vector<std::pair<size_t, std::string>>& runs) const {
        std::vector<char> expected(bytes_.size(), kSentinel);
        for (const auto& [at, run] : runs) {
            if (at + run.size() > size_)
                return testing::AssertionFailure()
                       << "expectation runs past the documented size " << size_;
            std::copy(run.begin(), run.end(), expected.begin() + static_cast<long>(at));
        }
        for (size_t i = 0; i < bytes_.size(); ++i) {
            if (bytes_[i] != expected[i]) {
                return testing::AssertionFailure()
                       << "byte " << i << (i >= size_ ? " (guard)" : "") << " is "
                       << Show(bytes_[i]) << ", expected " << Show(expected[i])
                       << "; buffer holds \"" << Printable() << "\"";
            }
        }
        return testing::AssertionSuccess();
    }

    static std::string Show(char c) {
        if (c == '\0') return "NUL";
        if (c == kSentinel) return "untouched";
        return std::string("'") + c + "'";
    }

    std::string Printable() const {
        std::string s;
        for (char c : bytes_) s += c == '\0' ? '|' : (c == kSentinel ? '.' : c);
        return s;
    }

    size_t size_;
    std::vector<char> bytes_;
};
