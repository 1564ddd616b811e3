// Hybrid exact integers: 128-bit arithmetic with overflow detection, GMP
// beyond, and results brought back to 128 bits when they fit again.
#include "calculus/exact_number.h"

namespace {

constexpr int limb_bits = 64;

mpz_class wide_to_mpz(__int128 v) {
    bool negative = v < 0;
    unsigned __int128 magnitude = negative ? -static_cast<unsigned __int128>(v) : static_cast<unsigned __int128>(v);
    mpz_class high(static_cast<unsigned long>(magnitude >> limb_bits));
    mpz_class r = high << limb_bits;
    r += static_cast<unsigned long>(magnitude);
    return negative ? mpz_class(-r) : r;
}

// 126 bits leave room for the sign and keep the magnitude's negation exact.
constexpr std::size_t small_bits = 126;

}  // namespace

void ExactNumber::assign(const mpz_class& v) {
    if (mpz_sizeinbase(v.get_mpz_t(), 2) > small_bits) {
        big_ = std::make_unique<mpz_class>(v);
        return;
    }
    mpz_class magnitude = abs(v);
    unsigned long low = magnitude.get_ui();
    mpz_class high = magnitude >> limb_bits;
    unsigned __int128 m = (static_cast<unsigned __int128>(high.get_ui()) << limb_bits) | low;
    small_ = sgn(v) < 0 ? -static_cast<__int128>(m) : static_cast<__int128>(m);
    big_.reset();
}

int ExactNumber::big_sign() const { return sgn(*big_); }

mpz_class ExactNumber::to_mpz() const { return big_ ? *big_ : wide_to_mpz(small_); }

ExactNumber ExactNumber::big_sum(const ExactNumber& a, const ExactNumber& b) {
    ExactNumber r;
    r.assign(a.to_mpz() + b.to_mpz());
    return r;
}

ExactNumber ExactNumber::big_difference(const ExactNumber& a, const ExactNumber& b) {
    ExactNumber r;
    r.assign(a.to_mpz() - b.to_mpz());
    return r;
}

ExactNumber ExactNumber::big_product(const ExactNumber& a, const ExactNumber& b) {
    ExactNumber r;
    r.assign(a.to_mpz() * b.to_mpz());
    return r;
}

ExactNumber divide_exactly(const ExactNumber& a, const ExactNumber& b) {
    ExactNumber r;
    if (!a.big_ && !b.big_ && b.small_ != -1) {
        r.small_ = a.small_ / b.small_;
        return r;
    }
    mpz_class q, x = a.to_mpz(), y = b.to_mpz();
    mpz_divexact(q.get_mpz_t(), x.get_mpz_t(), y.get_mpz_t());
    r.assign(q);
    return r;
}

ExactNumber gcd(const ExactNumber& a, const ExactNumber& b) {
    if (!a.big_ && !b.big_) {
        unsigned __int128 x = a.small_ < 0 ? -static_cast<unsigned __int128>(a.small_) : a.small_;
        unsigned __int128 y = b.small_ < 0 ? -static_cast<unsigned __int128>(b.small_) : b.small_;
        while (y) {
            unsigned __int128 t = x % y;
            x = y;
            y = t;
        }
        if (x <= static_cast<unsigned __int128>(~static_cast<unsigned __int128>(0) >> 1)) {
            ExactNumber r;
            r.small_ = static_cast<__int128>(x);
            return r;
        }
    }
    mpz_class g, x = a.to_mpz(), y = b.to_mpz();
    mpz_gcd(g.get_mpz_t(), x.get_mpz_t(), y.get_mpz_t());
    ExactNumber r;
    r.assign(g);
    return r;
}

int ExactNumber::big_compare(const ExactNumber& a, const ExactNumber& b) { return cmp(a.to_mpz(), b.to_mpz()); }
