#include "varnel/signal/PortableMath.h"

#include <array>
#include <cmath>
#include <cstddef>
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
constexpr Wide TwoSum(double a, double b) {
    const double s = a + b;
    const double bPart = s - a;
    return {s, (a - (s - bPart)) + (b - bPart)};
}

// a + b exactly, for |a| >= |b| or a == 0.
constexpr Wide QuickTwoSum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

// a * b exactly, each factor split into two halves of 26 bits (Dekker).
constexpr Wide TwoProduct(double a, double b) {
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

constexpr Wide Add(Wide a, Wide b) {
    const Wide high = TwoSum(a.hi, b.hi);
    const Wide low = TwoSum(a.lo, b.lo);
    const Wide s = QuickTwoSum(high.hi, high.lo + low.hi);
    return QuickTwoSum(s.hi, s.lo + low.lo);
}

constexpr Wide Multiply(Wide a, Wide b) {
    const Wide p = TwoProduct(a.hi, b.hi);
    return QuickTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

constexpr Wide Divide(Wide a, double b) {
    const double q = a.hi / b;
    const Wide p = TwoProduct(q, b);
    return QuickTwoSum(q, (((a.hi - p.hi) - p.lo) + a.lo) / b);
}

constexpr Wide Negate(Wide a) { return {-a.hi, -a.lo}; }

// Terms of the series below: enough for |r| <= pi/4 (sin, cos) and |r| <= ln 2 / 2 (e^r) to
// bring the last one under 2^-105 of the sum.
constexpr int kTrigTerms = 15;
constexpr int kExpTerms = 23;

// r - r^3/3! + r^5/5! - ...
constexpr Wide SinSeries(Wide r) {
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
constexpr Wide CosSeries(Wide r) {
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

// sin(i pi/256) for i = 0 to 511, summed by the series above when the library is compiled (the
// first eighth of a turn directly, sine and cosine, the rest by symmetry): within 2^-103 of the
// value. Beside the value (hi + lo), hi's upper 26 bits and what remains below them, so that a
// product of hi by a number of 26 bits can be formed exactly.
struct TableEntry {
    double hi;
    double lo;
    double upper;  // hi rounded to 26 bits
    double rest;   // (hi - upper) + lo, rounded
};
constexpr int kSteps = 512;
constexpr unsigned kQuarterTurn = kSteps / 4;

constexpr TableEntry MakeEntry(Wide v) {
    const double c = 134217729.0 * v.hi;
    const double upper = c - (c - v.hi);
    return {v.hi, v.lo, upper, (v.hi - upper) + v.lo};
}

constexpr std::array<TableEntry, kSteps> MakeSineTable() {
    constexpr Wide kStep{kHalfPi.hi / 128.0, kHalfPi.lo / 128.0};
    std::array<Wide, kSteps> sine{};
    for (int i = 0; i <= 64; ++i) {
        const Wide angle = Multiply(Wide{static_cast<double>(i), 0.0}, kStep);
        sine[static_cast<std::size_t>(i)] = SinSeries(angle);
        sine[static_cast<std::size_t>(128 - i)] = CosSeries(angle);
    }
    for (int i = 1; i < 128; ++i) sine[static_cast<std::size_t>(256 - i)] = sine[static_cast<std::size_t>(i)];
    for (int i = 0; i < 256; ++i) sine[static_cast<std::size_t>(256 + i)] = Negate(sine[static_cast<std::size_t>(i)]);
    std::array<TableEntry, kSteps> table{};
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = MakeEntry(sine[i]);
    return table;
}

constexpr std::array<TableEntry, kSteps> kSineTable = MakeSineTable();

constexpr double kStepsPerRadian = 0x1.45f306dc9c883p+6;  // 256/pi
// pi/256 in parts: bits 2^-7 to 2^-32, 2^-33 to 2^-58, and so on 26 at a time, then the next 53.
// k times each 26-bit part is exact for k < 2^27, so for arguments below 2^20.
constexpr double kStep1 = 0x1.921fb5p-7;
constexpr double kStep2 = 0x1.110b46p-33;
constexpr double kStep3 = 0x1.1a6262p-61;
constexpr double kStep4 = 0x1.3145cp-85;
constexpr double kStep5 = 0x1.b839a2p-111;
constexpr double kStep6 = 0x1.48127044533e6p-137;
constexpr double kQuickBelow = 0x1p20;

// sin(k pi/256 + r) near a multiple of pi (sign: cos(k pi/256), +-1) for |r| < 2^-30, where it
// is r - r^3/6 within 2^-120 relative, and r is needed to more bits than QuickSine keeps: here
// within 2^-104 relative from all the parts of pi/256, beside lowPart's own error. rHigh +
// thirdLow is r from the first three parts.
Wide NearMultipleOfPi(double k, double rHigh, double thirdLow, double lowPart, double sign) {
    const Wide r = TwoSum(rHigh, thirdLow - k * kStep4);  // the difference is exact: 53 bits from 2^-110
    const double low = ((r.lo - k * kStep5) - k * kStep6) + lowPart;  // lowPart 0 or the larger argument's
    const double cube = r.hi * (r.hi * r.hi) * (1.0 / 6.0);
    const Wide y = QuickTwoSum(r.hi, low - cube);
    return {sign * y.hi, sign * y.lo};
}

// sin(x + lowPart + quarterTurns pi/2), where |x| < 2^20 and |lowPart| <= 2^-53 |x| (lowPart
// only kWithLowPart: after the reduction of a larger argument), from the table and short series:
// x + lowPart = k pi/256 + r with |r| <= pi/512, and with S = sin(k pi/256), C = cos(k pi/256),
//     sin(k pi/256 + r) = S + C r + C (sin r - r) + S (cos r - 1).
// S + C r is formed exactly but for a part below 2^-77 (|S| + |r|); the last two terms, under
// 2^-15.6 |S| and 2^-17.2 |C r|, in plain doubles. Their rounding leaves the sum y = hi + lo
// within 3.5 2^-53 r^2 (|S| + |r|) of the value, r itself is known within 2^-109, and the
// table within 2^-103: together `bound`. y rounds to hi unless |lo| + bound reaches half a unit
// in the last place, and then the answer is false (about one call in 10^4).
template <bool kWithLowPart>
inline bool QuickSine(double x, double lowPart, unsigned quarterTurns, double& result) {
    const double shifted = x * kStepsPerRadian + 0x1.8p52;  // k in the low bits
    const double k = shifted - 0x1.8p52;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &shifted, sizeof bits);
    const auto index = static_cast<unsigned>(bits) + quarterTurns * kQuarterTurn;
    // x - k kStep1 is exact (the two lie within a factor 2), and so are its difference from
    // k kStep2 and then from k kStep3 to a multiple of 2^-60, all multiples of 2^-60 below 2^-7
    // (for k = 0 nothing is taken from x).
    const double third = k * kStep3;
    const double thirdHigh = (third + 0x1.8p-8) - 0x1.8p-8;
    const double rHigh = ((x - k * kStep1) - k * kStep2) - thirdHigh;
    const double thirdLow = thirdHigh - third;
    double rLow = thirdLow - k * (kStep4 + kStep5);  // the sum of the two parts is exact
    if constexpr (kWithLowPart) rLow = rLow + lowPart;
    const double rSize = std::fabs(rHigh);

    const TableEntry& s = kSineTable[index % kSteps];
    const TableEntry& c = kSineTable[(index + kQuarterTurn) % kSteps];
    Wide y{};
    double bound = 0.0;
    if (rSize < 0x1p-30 && s.hi == 0.0) {
        y = NearMultipleOfPi(k, rHigh, thirdLow, lowPart, c.hi);
        bound = std::fabs(y.hi) * 0x1p-88 + 0x1p-120;
    } else {
        // C r: c.upper times r's upper 26 bits exactly, the rest in doubles.
        const double split = 134217729.0 * rHigh;
        const double rUpper = split - (split - rHigh);
        const double rRest = (rHigh - rUpper) + rLow;
        const double product = c.upper * rUpper;
        const double r2 = rHigh * rHigh;
        // sin r - r and cos r - 1 at rHigh, and their change over rLow.
        const double sinRMinusR =
            rHigh * r2 * (-1.0 / 6.0 + r2 * (1.0 / 120.0 - r2 * (1.0 / 5040.0))) - 0.5 * r2 * rLow;
        const double cosRMinusOne = r2 * (-0.5 + r2 * (1.0 / 24.0 - r2 * (1.0 / 720.0))) - rHigh * rLow;
        const double head = s.hi + product;  // exact with the next line: |product| < |s.hi| or s.hi is 0
        const double headError = product - (head - s.hi);
        const double small = (headError + s.lo) + (c.upper * rRest + c.rest * rHigh);
        const double tail = s.hi * cosRMinusOne + (c.hi * sinRMinusR + small);
        y = QuickTwoSum(head, tail);
        // 2^-74 takes in 2^-109: |S| >= 2^-6.4 but where S is 0, and there |r| >= 2^-30.
        bound = (r2 * (3.5 * 0x1p-53) + 0x1p-74) * (std::fabs(s.hi) + rSize);
    }
    result = y.hi;
    return y.hi == y.hi + (y.lo + std::copysign(bound, y.lo));
}

// sin(a + offset pi/2) for a finite a >= 0 below 2^20 that the quick path did not decide, or
// at or above 2^20, where it may decide after the reduction (kQuick). The series decide the
// rest.
template <bool kQuick>
double ShiftedSine(double a, int offset) {
    const Quadrant q = a <= kQuarterPi      ? Quadrant{0, Wide{a, 0.0}}
                       : a < kSubtractBelow ? Subtract(a)
                                            : Reduce(a);
    double quick = 0.0;
    if (kQuick && a >= kQuickBelow &&
        QuickSine<true>(q.r.hi, q.r.lo, static_cast<unsigned>(q.quadrant + offset), quick)) {
        return quick;
    }
    switch ((q.quadrant + offset) & 3) {
        case 0: return SinSeries(q.r).hi;
        case 1: return CosSeries(q.r).hi;
        case 2: return -SinSeries(q.r).hi;
        default: return -CosSeries(q.r).hi;
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

template <bool kQuick>
double SinOf(double x) {
    const double a = std::fabs(x);
    double quick = 0.0;
    if (kQuick && a < kQuickBelow && a >= 0x1p-26 && QuickSine<false>(x, 0.0, 0, quick)) return quick;
    if (!(a <= std::numeric_limits<double>::max())) return x - x;
    if (a < 0x1p-26) return x;  // x^3/6 is below half a unit in the last place of x
    const double s = ShiftedSine<kQuick>(a, 0);
    return x < 0.0 ? -s : s;
}

template <bool kQuick>
double CosOf(double x) {
    const double a = std::fabs(x);
    double quick = 0.0;
    if (kQuick && a < kQuickBelow && a >= 0x1p-27 && QuickSine<false>(x, 0.0, 1, quick)) return quick;
    if (!(a <= std::numeric_limits<double>::max())) return x - x;
    if (a < 0x1p-27) return 1.0;  // x^2/2 is below half a unit in the last place below 1
    return ShiftedSine<kQuick>(a, 1);
}

}  // namespace

double Sin(double x) { return SinOf<true>(x); }
double Cos(double x) { return CosOf<true>(x); }
double SinBySeries(double x) { return SinOf<false>(x); }
double CosBySeries(double x) { return CosOf<false>(x); }

double Exp(double x) { return ExpOf(Wide{x, 0.0}); }

double Pow10(double x) {
    // Past these, 10^x is infinite or 0, and x ln 10 could overflow on the way.
    if (x > 400.0) return std::numeric_limits<double>::infinity();
    if (x < -400.0) return 0.0;
    return ExpOf(Multiply(Wide{x, 0.0}, kLn10));
}

}  // namespace Quorvex::VarnelNet::PortableMath
