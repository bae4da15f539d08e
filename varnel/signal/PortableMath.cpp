#include "varnel/signal/PortableMath.h"

#include <cstdint>
#include <cstring>
#include <limits>

namespace Quorvex::VarnelNet::PortableMath {

namespace {

// A value carried as the unevaluated sum hi + lo, with |lo| at most half a unit in the last
// place of hi: about 106 bits. hi is then the value rounded to the nearest double.
struct Wide {
    double hi;
    double lo;
};

// a + b exactly.
Wide TwoSum(double a, double b) {
    const double s = a + b;
    const double bPart = s - a;
    return {s, (a - (s - bPart)) + (b - bPart)};
}

// a + b exactly, for |a| >= |b| or a == 0.
Wide QuickTwoSum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

// a * b exactly, each factor split into two halves of 26 bits (Dekker).
Wide TwoProduct(double a, double b) {
    const auto split = [](double v, double& high, double& low) {
        const double c = 134217729.0 * v;  // 2^27 + 1
        high = c - (c - v);
        low = v - high;
    };
    double aHigh = 0.0, aLow = 0.0, bHigh = 0.0, bLow = 0.0;
    split(a, aHigh, aLow);
    split(b, bHigh, bLow);
    const double p = a * b;
    return {p, ((aHigh * bHigh - p) + aHigh * bLow + aLow * bHigh) + aLow * bLow};
}

Wide Add(Wide a, Wide b) {
    const Wide high = TwoSum(a.hi, b.hi);
    const Wide low = TwoSum(a.lo, b.lo);
    const Wide s = QuickTwoSum(high.hi, high.lo + low.hi);
    return QuickTwoSum(s.hi, s.lo + low.lo);
}

Wide Multiply(Wide a, Wide b) {
    const Wide p = TwoProduct(a.hi, b.hi);
    return QuickTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

Wide Divide(Wide a, double b) {
    const double q = a.hi / b;
    const Wide p = TwoProduct(q, b);
    return QuickTwoSum(q, (((a.hi - p.hi) - p.lo) + a.lo) / b);
}

Wide Negate(Wide a) { return {-a.hi, -a.lo}; }

// Terms of the series below: enough for |r| <= pi/4 (sin, cos) and |r| <= ln 2 / 2 (e^r) to
// bring the last one under 2^-105 of the sum.
constexpr int kTrigTerms = 15;
constexpr int kExpTerms = 23;

// r - r^3/3! + r^5/5! - ...
Wide SinSeries(Wide r) {
    const Wide r2 = Multiply(r, r);
    Wide term = r;
    Wide sum = r;
    for (int n = 1; n <= kTrigTerms; ++n) {
        term = Divide(Multiply(term, r2), -static_cast<double>((2 * n) * (2 * n + 1)));
        sum = Add(sum, term);
    }
    return sum;
}

// 1 - r^2/2! + r^4/4! - ...
Wide CosSeries(Wide r) {
    const Wide r2 = Multiply(r, r);
    Wide term{1.0, 0.0};
    Wide sum{1.0, 0.0};
    for (int n = 1; n <= kTrigTerms; ++n) {
        term = Divide(Multiply(term, r2), -static_cast<double>((2 * n - 1) * (2 * n)));
        sum = Add(sum, term);
    }
    return sum;
}

// 1 + r + r^2/2! + ...
Wide ExpSeries(Wide r) {
    Wide term{1.0, 0.0};
    Wide sum{1.0, 0.0};
    for (int n = 1; n <= kExpTerms; ++n) {
        term = Divide(Multiply(term, r), static_cast<double>(n));
        sum = Add(sum, term);
    }
    return sum;
}

// 2/pi: bits 1 to 1216 after the binary point, 64 to a word, the most significant first.
constexpr std::uint64_t kTwoOverPi[19] = {
    0xa2f9836e4e441529, 0xfc2757d1f534ddc0, 0xdb6295993c439041, 0xfe5163abdebbc561, 0xb7246e3a424dd2e0,
    0x06492eea09d1921c, 0xfe1deb1cb129a73e, 0xe88235f52ebb4484, 0xe99c7026b45f7e41, 0x3991d639835339f4,
    0x9c845f8bbdf9283b, 0x1ff897ffde05980f, 0xef2f118b5a0a6d1f, 0x6d367ecf27cb09b7, 0x4f463f669e5fea2d,
    0x7527bac7ebe5f17b, 0x3d0739f78a5292ea, 0x6bfb5fb11f8d5d08, 0x56033046fc7b6bab};
constexpr Wide kHalfPi{0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54};
constexpr double kQuarterPi = 0x1.921fb54442d18p-1;

// The high and low words of a * b.
void MultiplyWords(std::uint64_t a, std::uint64_t b, std::uint64_t& high, std::uint64_t& low) {
    constexpr std::uint64_t kHalf = 0xFFFFFFFFu;
    const std::uint64_t p00 = (a & kHalf) * (b & kHalf);
    const std::uint64_t p01 = (a & kHalf) * (b >> 32);
    const std::uint64_t p10 = (a >> 32) * (b & kHalf);
    const std::uint64_t p11 = (a >> 32) * (b >> 32);
    const std::uint64_t middle = (p00 >> 32) + (p01 & kHalf) + (p10 & kHalf);
    low = (middle << 32) | (p00 & kHalf);
    high = p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32);
}

// x = (4 j + quadrant) pi/2 + r with |r| <= pi/4, for a finite x > pi/4.
struct Quadrant {
    int quadrant;
    Wide r;
};

// x 2/pi modulo 4, from the bits of 2/pi at x's own scale (Payne and Hanek): x is an integer
// mantissa m times 2^e, and bit j of 2/pi adds m 2^(e - j), a multiple of 4 when j <= e - 2.
// Four words of 2/pi from the one holding bit e - 1 leave at least 191 bits below the binary
// point, of which the first 128 are kept.
Quadrant Reduce(double x) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    const std::uint64_t mantissa = (bits & 0xFFFFFFFFFFFFFu) | 0x10000000000000u;
    const int exponent = static_cast<int>(bits >> 52) - 1075;
    const int firstBit = exponent - 1 > 1 ? exponent - 1 : 1;
    const int firstWord = (firstBit - 1) / 64;

    std::uint64_t product[6] = {};  // mantissa times the four words, least significant word first
    std::uint64_t carry = 0;
    for (int i = 0; i < 4; ++i) {
        std::uint64_t high = 0, low = 0;
        MultiplyWords(mantissa, kTwoOverPi[firstWord + 3 - i], high, low);
        product[i] = low + carry;
        carry = high + (product[i] < low ? 1 : 0);
    }
    product[4] = carry;
    const auto wordAt = [&](int bit) {  // the 64 bits of the product from this bit up
        const int w = bit / 64;
        const int shift = bit % 64;
        const std::uint64_t lower = product[w] >> shift;
        return shift == 0 || w + 1 >= 6 ? lower : lower | (product[w + 1] << (64 - shift));
    };
    const int point = 64 * firstWord + 256 - exponent;  // bits of the product below the binary point

    int quadrant = static_cast<int>(wordAt(point) & 3);
    std::uint64_t high = wordAt(point - 64);
    std::uint64_t low = wordAt(point - 128);
    const bool backwards = (high >> 63) != 0;  // half a quadrant or more: from the next one, backwards
    if (backwards) {
        quadrant = (quadrant + 1) & 3;
        low = ~low + 1;
        high = ~high + (low == 0 ? 1 : 0);
    }
    // The 128-bit fraction in pieces of 53, 53 and 22 bits, each exact as a double.
    const double top = static_cast<double>(high >> 11) * 0x1p-53;
    const double middle = static_cast<double>(((high & 0x7FFu) << 42) | (low >> 22)) * 0x1p-106;
    const double bottom = static_cast<double>(low & 0x3FFFFFu) * 0x1p-128;
    const Wide r = Multiply(Add(TwoSum(top, middle), Wide{bottom, 0.0}), kHalfPi);
    return {quadrant, backwards ? Negate(r) : r};
}

constexpr double kTwoOverPiRounded = 0x1.45f306dc9c883p-1;
// pi/2 in four parts; the first two have 33 bits, so k times them is exact for k < 2^20.
constexpr double kHalfPi1 = 0x1.921fb544p+0;
constexpr double kHalfPi2 = 0x1.0b4611a6p-34;
constexpr double kHalfPi3 = 0x1.3198a2e037073p-69;
constexpr double kHalfPi4 = 0x1.129024e088a68p-123;
constexpr double kSubtractBelow = 0x1p20;

// The same for pi/4 < x < 2^20, quicker: k pi/2 subtracted in parts (Cody and Waite), the first
// exactly, since x lies within a factor 2 of k kHalfPi1.
Quadrant Subtract(double x) {
    const auto k = static_cast<std::int64_t>(x * kTwoOverPiRounded + 0.5);
    const auto kd = static_cast<double>(k);
    Wide r = TwoSum(x - kd * kHalfPi1, -kd * kHalfPi2);
    r = Add(r, Negate(TwoProduct(kd, kHalfPi3)));
    r = Add(r, Wide{-kd * kHalfPi4, 0.0});
    return {static_cast<int>(k & 3), r};
}

// sin and cos of j/64 for j = 0 to 51 (past pi/4), each summed once by the series above.
struct Steps {
    Wide sine[52];
    Wide cosine[52];
};

const Steps& StepTable() {
    static const Steps steps = [] {
        Steps table{};
        for (int j = 0; j < 52; ++j) {
            const Wide a{static_cast<double>(j) / 64.0, 0.0};
            table.sine[j] = SinSeries(a);
            table.cosine[j] = CosSeries(a);
        }
        return table;
    }();
    return steps;
}

// sin r (or cos r) for |r| <= pi/4, quickly: with r = a + d, a = j/64 and |d| <= 1/128,
// sin r = sin a + d cos a + (sin a (cos d - 1) + cos a (sin d - d)), and
// cos r = cos a - d sin a + (cos a (cos d - 1) - sin a (sin d - d)), where the last terms are
// below 2^-14 and short series in d give them in plain doubles: within 2^-64 of the value. That
// decides the rounding unless hi + lo lies within 2^-8 of half a unit from a midpoint (about
// one call in 250), and then the full series decides it.
double SinOrCos(Wide r, bool cosine) {
    const int j = static_cast<int>(r.hi * 64.0 + (r.hi < 0.0 ? -0.5 : 0.5));
    const int step = j < 0 ? -j : j;
    const Wide d = TwoSum(r.hi - static_cast<double>(j) / 64.0, r.lo);  // the difference is exact
    const double d2 = d.hi * d.hi;
    const double sinDMinusD = d.hi * (d2 * (-1.0 / 6.0 + d2 * (1.0 / 120.0 - d2 / 5040.0)));
    const double cosDMinusOne = d2 * (-0.5 + d2 * (1.0 / 24.0 - d2 / 720.0));
    const Steps& table = StepTable();
    const Wide sinA = j < 0 ? Negate(table.sine[step]) : table.sine[step];
    const Wide cosA = table.cosine[step];
    const Wide first = cosine ? cosA : sinA;
    const Wide second = cosine ? Negate(sinA) : cosA;  // the factor of d
    const Wide dTimes = TwoProduct(second.hi, d.hi);
    const double rest = (dTimes.lo + second.lo * d.hi + second.hi * d.lo) + first.hi * cosDMinusOne +
                        second.hi * sinDMinusD;
    const Wide y = Add(first, QuickTwoSum(dTimes.hi, rest));
    if (y.hi == y.hi + y.lo * (1.0 + 0x1p-8)) return y.hi;
    return (cosine ? CosSeries(r) : SinSeries(r)).hi;
}

// sin(a + offset pi/2) for a finite a >= 0.
double ShiftedSine(double a, int offset) {
    const Quadrant q = a <= kQuarterPi      ? Quadrant{0, Wide{a, 0.0}}
                       : a < kSubtractBelow ? Subtract(a)
                                            : Reduce(a);
    switch ((q.quadrant + offset) & 3) {
        case 0: return SinOrCos(q.r, false);
        case 1: return SinOrCos(q.r, true);
        case 2: return -SinOrCos(q.r, false);
        default: return -SinOrCos(q.r, true);
    }
}

constexpr double kLog2E = 0x1.71547652b82fep+0;
// ln 2 in three parts; the first has 42 bits, so k times it is exact for |k| < 2^11.
constexpr double kLn2High = 0x1.62e42fefa38p-1;
constexpr double kLn2Middle = 0x1.ef35793c7673p-45;
constexpr double kLn2Low = 0x1.f97b57a079a19p-103;
constexpr Wide kLn10{0x1.26bb1bbb55516p+1, -0x1.f48ad494ea3e9p-53};

// 2^k for an integer k from -1022 to 1023.
double PowerOfTwo(int k) {
    const std::uint64_t bits = static_cast<std::uint64_t>(k + 1023) << 52;
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// e^t = 2^k e^r, with t = k ln 2 + r and |r| <= ln 2 / 2.
double ExpOf(Wide t) {
    if (t.hi != t.hi) return t.hi;
    if (t.hi > 710.0) return std::numeric_limits<double>::infinity();
    if (t.hi < -746.0) return 0.0;
    const int k = static_cast<int>(t.hi * kLog2E + (t.hi < 0.0 ? -0.5 : 0.5));
    const double kd = static_cast<double>(k);
    // k kLn2High is exact, and so is its difference from t.hi, which lies within a factor 2 of it.
    Wide r = TwoSum(t.hi - kd * kLn2High, t.lo);
    r = Add(r, Negate(TwoProduct(kd, kLn2Middle)));
    r = Add(r, Wide{-kd * kLn2Low, 0.0});
    const double m = ExpSeries(r).hi;
    if (k > 1023) return m * PowerOfTwo(k - 1) * 2.0;
    if (k < -1022) return m * PowerOfTwo(k + 54) * 0x1p-54;
    return m * PowerOfTwo(k);
}

}  // namespace

double Sin(double x) {
    const double a = x < 0.0 ? -x : x;
    if (!(a <= std::numeric_limits<double>::max())) return x - x;
    if (a < 0x1p-26) return x;  // x^3/6 is below half a unit in the last place of x
    const double s = ShiftedSine(a, 0);
    return x < 0.0 ? -s : s;
}

double Cos(double x) {
    const double a = x < 0.0 ? -x : x;
    if (!(a <= std::numeric_limits<double>::max())) return x - x;
    if (a < 0x1p-27) return 1.0;  // x^2/2 is below half a unit in the last place below 1
    return ShiftedSine(a, 1);
}

double Exp(double x) { return ExpOf(Wide{x, 0.0}); }

double Pow10(double x) {
    // Past these, 10^x is infinite or 0, and x ln 10 could overflow on the way.
    if (x > 400.0) return std::numeric_limits<double>::infinity();
    if (x < -400.0) return 0.0;
    return ExpOf(Multiply(Wide{x, 0.0}, kLn10));
}

}  // namespace Quorvex::VarnelNet::PortableMath
