// An exact integer for the checks of PolyLib's results: a 128-bit value while
// it fits, a GMP integer beyond. Nearly every value of a check is small, and
// a GMP integer allocates even then.
#pragma once

#include <compare>
#include <gmpxx.h>
#include <memory>

class ExactNumber {
public:
    ExactNumber() = default;
    ExactNumber(long v) : small_(v) {}
    ExactNumber(int v) : small_(v) {}
    explicit ExactNumber(const mpz_class& v) { assign(v); }
    ExactNumber(const ExactNumber& other) : small_(other.small_) {
        if (other.big_) big_ = std::make_unique<mpz_class>(*other.big_);
    }
    ExactNumber(ExactNumber&&) noexcept = default;
    ExactNumber& operator=(const ExactNumber& other) {
        if (this != &other) {
            small_ = other.small_;
            big_ = other.big_ ? std::make_unique<mpz_class>(*other.big_) : nullptr;
        }
        return *this;
    }
    ExactNumber& operator=(ExactNumber&&) noexcept = default;

    int sign() const {
        if (big_) return big_sign();
        return small_ > 0 ? 1 : small_ < 0 ? -1 : 0;
    }
    mpz_class to_mpz() const;

    friend ExactNumber operator+(const ExactNumber& a, const ExactNumber& b) {
        ExactNumber r;
        if (!a.big_ && !b.big_ && !__builtin_add_overflow(a.small_, b.small_, &r.small_)) return r;
        return big_sum(a, b);
    }
    friend ExactNumber operator-(const ExactNumber& a, const ExactNumber& b) {
        ExactNumber r;
        if (!a.big_ && !b.big_ && !__builtin_sub_overflow(a.small_, b.small_, &r.small_)) return r;
        return big_difference(a, b);
    }
    friend ExactNumber operator*(const ExactNumber& a, const ExactNumber& b) {
        ExactNumber r;
        if (!a.big_ && !b.big_ && !__builtin_mul_overflow(a.small_, b.small_, &r.small_)) return r;
        return big_product(a, b);
    }
    friend ExactNumber operator-(const ExactNumber& a) { return ExactNumber(0) - a; }
    ExactNumber& operator+=(const ExactNumber& b) { return *this = *this + b; }
    // Exact division by a divisor of this number, and the greatest common divisor (>= 0).
    friend ExactNumber divide_exactly(const ExactNumber& a, const ExactNumber& b);
    friend ExactNumber gcd(const ExactNumber& a, const ExactNumber& b);

    friend bool operator==(const ExactNumber& a, const ExactNumber& b) { return compare(a, b) == 0; }
    friend std::strong_ordering operator<=>(const ExactNumber& a, const ExactNumber& b) { return compare(a, b) <=> 0; }

private:
    static int compare(const ExactNumber& a, const ExactNumber& b) {
        if (!a.big_ && !b.big_) return a.small_ < b.small_ ? -1 : a.small_ > b.small_ ? 1 : 0;
        return big_compare(a, b);
    }
    // The same operations once a value has left 128 bits.
    static int big_compare(const ExactNumber& a, const ExactNumber& b);
    static ExactNumber big_sum(const ExactNumber& a, const ExactNumber& b);
    static ExactNumber big_difference(const ExactNumber& a, const ExactNumber& b);
    static ExactNumber big_product(const ExactNumber& a, const ExactNumber& b);
    int big_sign() const;
    void assign(const mpz_class& v);   // small when it fits

    __int128 small_ = 0;
    std::unique_ptr<mpz_class> big_;   // the value when set; small_ is then unused
};

inline int sgn(const ExactNumber& x) { return x.sign(); }
