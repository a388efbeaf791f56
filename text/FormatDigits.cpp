#include "FormatDigits.h"

#include <cstdint>
#include <cstring>

namespace {

// A double is m x 2^e with m < 2^53 and -1074 <= e <= 971. Its exact decimal
// form is m x 2^e (e >= 0) or m x 5^-e / 10^-e (e < 0): an integer of at most
// 53 + 1074 x log2(5) < 2560 bits, i.e. at most 771 decimal digits.
constexpr int kLimbs = 80;
constexpr int kExactDigits = 780;

class BigNumber {
public:
    explicit BigNumber(uint64_t value) {
        limbs_[0] = uint32_t(value);
        limbs_[1] = uint32_t(value >> 32);
        used_ = limbs_[1] != 0 ? 2 : 1;
    }

    void MultiplySmall(uint32_t factor) {
        uint64_t carry = 0;
        for (int i = 0; i < used_; ++i) {
            const uint64_t product = uint64_t(limbs_[i]) * factor + carry;
            limbs_[i] = uint32_t(product);
            carry = product >> 32;
        }
        if (carry != 0) limbs_[used_++] = uint32_t(carry);
    }

    void MultiplyPowerOfFive(int exponent) {
        constexpr uint32_t kFive13 = 1220703125;  // 5^13, the largest that fits
        for (; exponent >= 13; exponent -= 13) MultiplySmall(kFive13);
        uint32_t rest = 1;
        for (; exponent > 0; --exponent) rest *= 5;
        MultiplySmall(rest);
    }

    void ShiftLeft(int bits) {
        const int words = bits / 32;
        const int shift = bits % 32;
        if (words > 0) {
            std::memmove(limbs_ + words, limbs_, size_t(used_) * sizeof(uint32_t));
            std::memset(limbs_, 0, size_t(words) * sizeof(uint32_t));
            used_ += words;
        }
        if (shift == 0) return;
        uint32_t carry = 0;
        for (int i = words; i < used_; ++i) {
            const uint32_t limb = limbs_[i];
            limbs_[i] = (limb << shift) | carry;
            carry = limb >> (32 - shift);
        }
        if (carry != 0) limbs_[used_++] = carry;
    }

    // Writes the decimal digits without leading zeros; returns their count.
    int ToDecimal(char* out) {
        constexpr uint32_t kChunk = 1000000000;  // nine digits per step
        uint32_t chunks[kExactDigits / 9 + 2];
        int chunkCount = 0;
        while (used_ > 0) {
            uint64_t remainder = 0;
            for (int i = used_ - 1; i >= 0; --i) {
                const uint64_t current = (remainder << 32) | limbs_[i];
                limbs_[i] = uint32_t(current / kChunk);
                remainder = current % kChunk;
            }
            chunks[chunkCount++] = uint32_t(remainder);
            while (used_ > 0 && limbs_[used_ - 1] == 0) --used_;
        }
        int written = 0;
        char top[10];
        int topLength = 0;
        for (uint32_t value = chunks[chunkCount - 1]; value != 0; value /= 10)
            top[topLength++] = char('0' + value % 10);
        while (topLength > 0) out[written++] = top[--topLength];
        for (int c = chunkCount - 2; c >= 0; --c) {
            uint32_t value = chunks[c];
            for (int d = 8; d >= 0; --d) {
                out[written + d] = char('0' + value % 10);
                value /= 10;
            }
            written += 9;
        }
        return written;
    }

private:
    uint32_t limbs_[kLimbs] = {};
    int used_ = 0;
};

struct ExactDecimal {
    char digits[kExactDigits];
    int count = 0;
    int point = 0;  // value = 0.digits x 10^point
};

// Every digit of a finite, nonzero |value|.
void Expand(double value, ExactDecimal& out) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = int((bits >> 52) & 0x7FF);
    uint64_t mantissa = bits & ((uint64_t(1) << 52) - 1);
    int exponent;
    if (biased == 0) {
        exponent = -1074;
    } else {
        mantissa |= uint64_t(1) << 52;
        exponent = biased - 1075;
    }
    while ((mantissa & 1) == 0) {  // fewer powers of five to multiply
        mantissa >>= 1;
        ++exponent;
    }
    BigNumber number(mantissa);
    int decimalShift = 0;
    if (exponent >= 0) {
        number.ShiftLeft(exponent);
    } else {
        number.MultiplyPowerOfFive(-exponent);
        decimalShift = -exponent;
    }
    out.count = number.ToDecimal(out.digits);
    out.point = out.count - decimalShift;
}

bool IsZero(double value) {
    return value == 0.0;
}

// True when the exact digits, cut after keep digits, must round up (ties to
// even). keep may be 0: the digit before the cut is then an implied 0.
bool RoundsUp(const ExactDecimal& exact, int keep) {
    if (keep >= exact.count) return false;
    const char next = exact.digits[keep];
    if (next != '5') return next > '5';
    for (int i = keep + 1; i < exact.count; ++i) {
        if (exact.digits[i] != '0') return true;
    }
    const int previous = keep > 0 ? exact.digits[keep - 1] - '0' : 0;
    return (previous & 1) != 0;
}

// Copies keep >= 1 digits of the exact value into out, rounded; a carry out
// of the first digit moves the point. Missing digits are zeros.
void RoundInto(const ExactDecimal& exact, int keep, DecimalDigits& out) {
    const int copied = keep < exact.count ? keep : exact.count;
    std::memcpy(out.digits, exact.digits, size_t(copied));
    std::memset(out.digits + copied, '0', size_t(keep - copied));
    out.count = keep;
    out.point = exact.point;
    if (!RoundsUp(exact, keep)) return;
    int i = keep - 1;
    while (i >= 0 && out.digits[i] == '9') out.digits[i--] = '0';
    if (i >= 0) {
        ++out.digits[i];
        return;
    }
    out.digits[0] = '1';  // 99.9 became 100: the rest are already zeros
    ++out.point;
}

}  // namespace

void SignificantDigits(double value, int count, DecimalDigits& out) {
    if (count < 1) count = 1;
    if (count >= DecimalDigits::kArea) count = DecimalDigits::kArea - 1;
    if (IsZero(value)) {
        std::memset(out.digits, '0', size_t(count));
        out.count = count;
        out.point = 0;
        return;
    }
    ExactDecimal exact;
    Expand(value, exact);
    RoundInto(exact, count, out);
}

int FixedDigits(double value, int places, DecimalDigits& out) {
    if (places < 0) places = 0;
    const auto zeros = [&]() {
        if (places + 1 > DecimalDigits::kArea) return 0;
        std::memset(out.digits, '0', size_t(places));
        out.count = places;
        out.point = 0;
        return 1;
    };
    if (IsZero(value)) return zeros();
    ExactDecimal exact;
    Expand(value, exact);
    const int keep = exact.point + places;
    if (keep < 0) return zeros();
    if (keep == 0) {
        // Below one unit of the last place: either rounds to that unit or to 0.
        if (!RoundsUp(exact, 0)) return zeros();
        out.digits[0] = '1';
        out.count = 1;
        out.point = 1 - places;
        return 1;
    }
    // The digits and a terminator must fit; a carry out of the first digit
    // adds one more digit.
    if (keep + 1 > DecimalDigits::kArea) return 0;
    RoundInto(exact, keep, out);
    if (out.point != exact.point) {
        if (out.count + 2 > DecimalDigits::kArea) return 0;
        out.digits[out.count++] = '0';
    }
    return 1;
}
