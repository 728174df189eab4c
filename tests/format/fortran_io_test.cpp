#include "format/fortran_io.hpp"

#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/text.hpp"
#include "support/fortran_oracle.hpp"

using ff::format;

TEST(EditDescriptorI, RightJustifiesAndOverflowsToStars) {
  EXPECT_EQ(format("(i4)", 42), "  42\n");
  EXPECT_EQ(format("(i4)", -42), " -42\n");
  EXPECT_EQ(format("(i3)", 1000), "***\n");
  EXPECT_EQ(format("(i2)", -10), "**\n");
  EXPECT_EQ(format("(i4.3)", 7), " 007\n");
  EXPECT_EQ(format("(sp,i4,ss,i4)", 5, 5), "  +5   5\n");
}

TEST(Fields, ValuesTooWideFillTheirFieldWithStarsAndLeaveTheNeighboursInPlace) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  // An atom line of the XD master file layout with impossible values in every numeric field.
  EXPECT_EQ(format("(a8,i3,3f9.5,f8.4,a2)", "C(1)    ", 1000, 123456.0f, -1e30f, nan, 1e38f, "|X"),
            "C(1)    " + std::string(21, '*') + "      NaN" + std::string(8, '*') + "|X\n");
  EXPECT_EQ(format("(f6.2,i2,f6.2)", inf, 5, -inf), "   Inf 5  -Inf\n");
  EXPECT_EQ(format("(e11.4,'|')", 1e300), " 0.1000+301|\n");  // a three-digit exponent drops the E
  EXPECT_EQ(format("(e9.4,'|')", -1e300), "*********|\n");
  EXPECT_EQ(format("(a3,'|')", "LONGER"), "LON|\n");
}

TEST(EditDescriptorF, RoundsLikeGfortran) {
  EXPECT_EQ(format("(f9.5)", 0.25f), "  0.25000\n");
  EXPECT_EQ(format("(f5.2)", 0.125f), " 0.12\n");  // exact tie goes to even
  EXPECT_EQ(format("(f4.1)", 0.25f), " 0.2\n");
  EXPECT_EQ(format("(f5.1)", 99.95f), " 99.9\n");  // 99.95f lies just below
  EXPECT_EQ(format("(f3.0)", 2.5f), " 2.\n");
  EXPECT_EQ(format("(f8.2)", 1e10f), "********\n");
  EXPECT_EQ(format("(sp,f6.2)", 1.5f), " +1.50\n");
}

TEST(EditDescriptorF, DropsLeadingZeroOnlyWhenNeeded) {
  EXPECT_EQ(format("(f5.3)", 0.5f), "0.500\n");
  EXPECT_EQ(format("(f4.3)", 0.5f), ".500\n");
  EXPECT_EQ(format("(f5.3)", -0.5f), "-.500\n");
  EXPECT_EQ(format("(f3.2)", 0.001f), ".00\n");
}

TEST(EditDescriptorF, NegativeValuesRoundingToZeroKeepTheirSign) {
  EXPECT_EQ(format("(f6.3)", -0.0001f), "-0.000\n");
  EXPECT_EQ(format("(f4.2)", -0.001f), "-.00\n");
  EXPECT_EQ(format("(f4.0)", -0.4f), " -0.\n");
  // an exact negative zero is printed as zero
  EXPECT_EQ(format("(f6.3)", -0.0f), " 0.000\n");
}

TEST(EditDescriptorE, MantissaFormWithTwoDigitExponent) {
  EXPECT_EQ(format("(e11.4)", 1.5f), " 0.1500E+01\n");
  EXPECT_EQ(format("(e11.4)", -1.5f), "-0.1500E+01\n");
  EXPECT_EQ(format("(e10.4)", -1.5f), "-.1500E+01\n");
  EXPECT_EQ(format("(e9.4)", 1.5f), ".1500E+01\n");
  EXPECT_EQ(format("(e11.4)", 0.0f), " 0.0000E+00\n");
  EXPECT_EQ(format("(e11.4)", 1e-5f), " 0.1000E-04\n");
  EXPECT_EQ(format("(e11.4)", 0.99995f), " 0.9999E+00\n");
  EXPECT_EQ(format("(e11.4)", 9.99995), " 0.1000E+02\n");
  EXPECT_EQ(format("(e13.6)", 1.0f), " 0.100000E+01\n");
  EXPECT_EQ(format("(e11.4)", 3.4e38f), " 0.3400E+39\n");
  EXPECT_EQ(format("(e11.4)", 1.0e-120), " 0.1000-119\n");
  EXPECT_EQ(format("(e11.4)", 2.5e105), " 0.2500+106\n");
}

TEST(EditDescriptorsText, ALXAndLiterals) {
  EXPECT_EQ(format("(a3,'|',a5,'|',a)", "abcdef", "ab", "xy "), "abc|   ab|xy \n");
  EXPECT_EQ(format("(l3,l1)", true, false), "  TF\n");
  EXPECT_EQ(format("(3x,'it''s',2x,a)", "z"), "   it's  z\n");
  EXPECT_EQ(format("('SYMM', I3, 5X, A)", 1, "+ X"), "SYMM  1     + X\n");
}

TEST(FormatControl, SlashesGroupsAndDollar) {
  EXPECT_EQ(format("(/' ERROR *** ',a,' *** ',a,/)", "ReadInp", "msg"), "\n ERROR *** ReadInp *** msg\n\n");
  EXPECT_EQ(format("(2(i2,1x),a)", 1, 2, "x"), " 1  2 x\n");
  EXPECT_EQ(format("(' Enter : ',$)"), " Enter : ");
  EXPECT_EQ(format("(a)"), "\n");
}

TEST(FormatControl, TrailingBlanksOfXAreNotWritten) {
  EXPECT_EQ(format("(3(i2,3x))", 1, 2), " 1    2\n");
  EXPECT_EQ(format("(i2,3x,'|')", 1), " 1   |\n");
  EXPECT_EQ(format("(a,5x)", "ab"), "ab\n");
  EXPECT_EQ(format("(a,' ')", "ab"), "ab \n");
}

TEST(FormatControl, ItemsRunningOutStopAtTheNextDataDescriptor) {
  EXPECT_EQ(format("(3(i2,1x),a)", 1, 2), " 1  2\n");
  EXPECT_EQ(format("(i2,' end')", 1), " 1 end\n");
}

TEST(FormatControl, ReversionStartsNewRecords) {
  std::vector<float> v(26, 1.0f);
  std::string line = "  1.0000  1.0000  1.0000  1.0000  1.0000  1.0000  1.0000  1.0000  1.0000  1.0000\n";
  EXPECT_EQ(format("(10f8.4)", v), line + line + line.substr(0, 48) + "\n");
  std::vector<float> z(14, 0.0f);
  EXPECT_EQ(format("(8f10.6)", z),
            "  0.000000  0.000000  0.000000  0.000000  0.000000  0.000000  0.000000  0.000000\n"
            "  0.000000  0.000000  0.000000  0.000000  0.000000  0.000000\n");
  EXPECT_EQ(format("(a,2(1x,i1))", "n", 1, 2, 3, 4), "n 1 2\n 3 4\n");
}

TEST(FormatControl, ArraysExpandItemByItem) {
  std::array<float, 3> x{0.1f, 0.2f, 0.3f};
  EXPECT_EQ(format("(i7,2x,a,1x,3f9.5)", 1, "C(1)    ", x), "      1  C(1)       0.10000  0.20000  0.30000\n");
}

// Fixed-point digits are worked out in integers for speed; they must be the
// digits of the library conversion, ties to even on the exact binary value
// included.
TEST(FormatControl, FixedPointDigitsAreTheLibraryConversion) {
  std::mt19937_64 rng(42);
  std::uniform_int_distribution<int> exp2(-40, 40);
  std::uniform_real_distribution<double> unit(0.5, 1.0);
  auto reference = [](double v, int d) {
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::fixed, d);
    std::string s(buf, r.ptr);
    if (d == 0) s += '.';
    return s;
  };
  auto digits = [](double v, int w, int d) {
    std::string s = ff::fmt_f(v, w, d);
    return s.substr(s.find_first_not_of(" -"));
  };
  for (int k = 0; k < 200000; ++k) {
    double v = std::ldexp(unit(rng), exp2(rng));
    if (k % 3 == 0) v = static_cast<float>(v);
    // Exact ties: a multiple of a power of two just beyond the last decimal.
    if (k % 7 == 0) v = std::ldexp(static_cast<double>(rng() % 100000), -static_cast<int>(rng() % 12));
    if (k % 11 == 0) v = -v;
    const int d = static_cast<int>(rng() % 10);
    ASSERT_EQ(digits(v, 60, d), reference(v, d)) << std::hexfloat << v << " d=" << d;
  }
  EXPECT_EQ(ff::fmt_f(0.125, 6, 2), "  0.12");
  EXPECT_EQ(ff::fmt_f(0.375, 6, 2), "  0.38");
  EXPECT_EQ(ff::fmt_f(2.5, 4, 0), "  2.");
  EXPECT_EQ(ff::fmt_f(1e30, 34, 2), "1000000000000000019884624838656.00");
}

TEST(FormatControl, WideIntegerExtension) {
  EXPECT_EQ(format("('ATOM ',j3)", 12), "ATOM  12\n");
  EXPECT_EQ(format("('ATOM ',j3)", 12345), "ATOM 12345\n");
  EXPECT_EQ(format("(2j5)", 12345, 123456), "12345 123456\n");
  // No blank at the start of a line, nor a second one after a blank.
  EXPECT_EQ(format("(j4/j4)", 12345, 23456), "12345\n23456\n");
  EXPECT_EQ(format("(a,1x,j4,1x,j4)", "A", 1234, 12345), "A 1234 12345\n");
  EXPECT_EQ(format("(i3,3(1x,j4))", 1, 9999, 10000, 123456), "  1 9999 10000 123456\n");
}

TEST(FormatControl, ItemKindMismatchIsAProgrammingError) {
  EXPECT_THROW(format("(i4)", 1.0f), std::logic_error);
  EXPECT_THROW(format("(f4.1)", 1), std::logic_error);
  EXPECT_THROW(format("(q4)", 1), std::logic_error);
}

TEST(FixedNumber, TellsNumbersFromWords) {
  for (const char* w : {"1", "-25", "+3", ".5", "1.", "1.d10", "1.5D-3", "1e5", "1.5-3", "0.4"})
    EXPECT_TRUE(ff::is_fixed_number(w)) << w;
  for (const char* w : {"C(1)", "*sigma", "+", "-", ".", "1e", "NaN", "inf", "1,2", "x", "1.2.3", "--1"})
    EXPECT_FALSE(ff::is_fixed_number(w)) << w;
}

TEST(ListReader, ReadsFreeFormatNumbers) {
  ff::ListReader r("  1.d10 1.5D-3 -25, .5 1. +3 ");
  float a, b, d, e;
  int c, f;
  ASSERT_TRUE(r.read(a, b, c, d, e, f));
  EXPECT_FLOAT_EQ(a, 1e10f);
  EXPECT_FLOAT_EQ(b, 1.5e-3f);
  EXPECT_EQ(c, -25);
  EXPECT_FLOAT_EQ(d, 0.5f);
  EXPECT_FLOAT_EQ(e, 1.0f);
  EXPECT_EQ(f, 3);
  EXPECT_FALSE(r.next(a));
}

TEST(ListReader, FailsLikeAFortranRead) {
  int n;
  float x;
  EXPECT_FALSE(ff::ListReader("1.5").next(n));   // not an integer
  EXPECT_FALSE(ff::ListReader("abc").next(x));
  EXPECT_FALSE(ff::ListReader("1e40").next(x));  // beyond single precision
  EXPECT_FALSE(ff::ListReader("   ").next(x));   // end of text
  EXPECT_FALSE(ff::ListReader("99999999999").next(n));
  ff::ListReader r("3*0.5 2 / 7");
  float p, q, s;
  int t;
  ASSERT_TRUE(r.read(p, q, s, t));
  EXPECT_FLOAT_EQ(q, 0.5f);
  EXPECT_EQ(t, 2);
  EXPECT_FALSE(r.next(x));  // the slash ends the list
  EXPECT_EQ(ff::ListReader("1 2 3*4").count_left(), 5);
}

// ---------------------------------------------------------------------------
// The compiled formats against the engine they replaced
// (support/fortran_oracle.hpp): random formats over every descriptor, with
// groups, reversion and items that run out, mismatch or overflow, must give
// the same text or the same error.

namespace {

struct RandomFormat {
  std::mt19937_64& rng;
  std::vector<char> kinds;  // data descriptors in order: I J F E A L

  int pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

  std::string descriptor() {
    switch (pick(14)) {
      case 0:
      case 1: {
        kinds.push_back('I');
        std::string d = "i" + std::to_string(pick(12));
        if (pick(4) == 0) d += "." + std::to_string(pick(6));
        return (pick(3) == 0 ? std::to_string(1 + pick(4)) : "") + d;
      }
      case 2:
        kinds.push_back('J');
        return (pick(3) == 0 ? std::to_string(1 + pick(3)) : "") + "j" + std::to_string(pick(7));
      case 3:
      case 4:
      case 5: {
        kinds.push_back('F');
        const int w = pick(40), d = pick(12);
        return (pick(3) == 0 ? std::to_string(1 + pick(6)) : "") + "f" + std::to_string(w) + "." + std::to_string(d);
      }
      case 6:
        kinds.push_back('E');
        return "e" + std::to_string(pick(16)) + "." + std::to_string(1 + pick(6));
      case 7:
        kinds.push_back('A');
        return pick(2) == 0 ? "a" : "a" + std::to_string(pick(40));
      case 8:
        kinds.push_back('L');
        return "l" + std::to_string(pick(4));
      case 9:
        return std::to_string(1 + pick(40)) + "x";
      case 10: {
        static const char* const texts[] = {"' '", "'ATOM '", "'it''s'", "\"q\"", "'a long literal text of forty chars....'"};
        return texts[pick(5)];
      }
      case 11:
        return pick(2) == 0 ? "/" : (pick(2) == 0 ? "sp" : "ss");
      case 12:
        return ":";
      default:
        return "";
    }
  }

  std::string list(int depth) {
    std::string s;
    const int n = 1 + pick(5);
    for (int k = 0; k < n; ++k) {
      std::string d;
      if (depth < 3 && pick(6) == 0)
        d = (pick(2) == 0 ? std::to_string(pick(4)) : "") + "(" + list(depth + 1) + ")";
      else
        d = descriptor();
      if (d.empty()) continue;
      if (!s.empty()) s += pick(3) == 0 ? " , " : ",";
      s += d;
    }
    return s.empty() ? "1x" : s;
  }
};

ff::Item random_item(std::mt19937_64& rng, char kind) {
  static const std::string texts[] = {"", "C(1)", "C(101)  ", "H(12345)", "a text of twenty-six chars", " padded "};
  switch (kind) {
    case 'I':
    case 'J': {
      static const long long ints[] = {0, 1, -1, 7, 42, -42, 999, 1000, 9999, 12345, -99999, 123456789, 2147483647LL,
                                       -2147483648LL, 9223372036854775807LL};
      return rng() % 3 == 0 ? ff::Item::of(static_cast<long long>(rng() % 200000) - 100000)
                            : ff::Item::of(ints[rng() % std::size(ints)]);
    }
    case 'F':
    case 'E': {
      static const double reals[] = {0.0, -0.0, 0.5, -0.5, 0.125, 2.5, 99.95, 1e10, -1e-5, 1e30, 3.4e38, 1e300,
                                     std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                     std::numeric_limits<double>::quiet_NaN(), 5e-324};
      switch (rng() % 4) {
        case 0:
          return ff::Item::of(reals[rng() % std::size(reals)]);
        case 1:  // a float, as most numbers are
          return ff::Item::of(static_cast<double>(static_cast<float>(
              std::ldexp(static_cast<double>(rng() % 100000000) * (rng() % 2 ? 1 : -1), -static_cast<int>(rng() % 40)))));
        case 2:  // exact ties
          return ff::Item::of(std::ldexp(static_cast<double>(rng() % 100000), -static_cast<int>(rng() % 12)));
        default:
          return ff::Item::of(std::ldexp(static_cast<double>(rng() % 1000000) / 1000.0, static_cast<int>(rng() % 60) - 30));
      }
    }
    case 'A':
      return ff::Item::of(std::string_view(texts[rng() % std::size(texts)]));
    default:
      return ff::Item::of(rng() % 2 == 0);
  }
}

// The text, or the error's message marked as such.
template <class F>
std::string outcome(F f) {
  try {
    return f();
  } catch (const std::logic_error& e) {
    return std::string("error: ") + e.what();
  }
}

}  // namespace

TEST(CompiledFormats, WriteWhatTheTreeWalkWrote) {
  std::mt19937_64 rng(20240611);
  for (int round = 0; round < 40000; ++round) {
    RandomFormat gen{rng, {}};
    std::string fmt = "(" + gen.list(0) + (rng() % 8 == 0 ? ",$" : "") + ")";
    ff::Items items;
    const int n = static_cast<int>(rng() % 24);
    for (int k = 0; k < n; ++k) {
      char kind = gen.kinds.empty() ? 'I' : gen.kinds[static_cast<std::size_t>(k) % gen.kinds.size()];
      if (rng() % 50 == 0) kind = "IFAL"[rng() % 4];  // now and then an item that does not suit
      items.push_back(random_item(rng, kind));
    }
    const std::string want = outcome([&] { return ff_oracle::format_items(fmt, items); });
    const std::string got = outcome([&] { return ff::format_items(fmt, items); });
    ASSERT_EQ(got, want) << "format " << fmt << " with " << n << " items";
  }
}

TEST(CompiledFormats, SingleFieldsMatchTheTreeWalk) {
  std::mt19937_64 rng(7);
  for (int k = 0; k < 300000; ++k) {
    const ff::Item x = random_item(rng, 'F');
    const int w = static_cast<int>(rng() % 36), d = static_cast<int>(rng() % 12);
    const bool plus = rng() % 5 == 0;
    ASSERT_EQ(ff::fmt_f(x.r, w, d, plus), ff_oracle::fmt_f(x.r, w, d, plus)) << std::hexfloat << x.r << " w=" << w << " d=" << d;
    const ff::Item i = random_item(rng, 'I');
    const int m = static_cast<int>(rng() % 8) - 2;
    ASSERT_EQ(ff::fmt_i(i.i, w, m, plus), ff_oracle::format("(" + std::string(plus ? "sp," : "") + "i" + std::to_string(w) +
                                                               (m >= 0 ? "." + std::to_string(m) : "") + ",$)",
                                                           i.i))
        << i.i << " w=" << w << " m=" << m;
  }
}

TEST(CompiledFormats, LongItemListsAndLinesGoToTheHeap) {
  std::vector<int> many(10);
  for (std::size_t k = 0; k < many.size(); ++k) many[k] = static_cast<int>(k * 37 % 1000);
  std::vector<float> reals(75, -1.25f);
  const std::string fmt = "(a,10i4,3(/2x,20f9.4),' end')";
  EXPECT_EQ(ff::format(fmt, "head", many, reals), ff_oracle::format(fmt, "head", many, reals));
  EXPECT_EQ(ff::format("(a)", std::string(5000, 'x')), std::string(5000, 'x') + "\n");
  std::string out = "start|";
  ff::Items items;
  ff::add(items, 12);
  ff::add(items, "end");
  ff::format_append(out, "(i4,1x,a)", items);
  EXPECT_EQ(out, "start|  12 end\n");
}

TEST(CompiledFormats, UsualFixedPointFieldsMatchTheTreeWalkAtEveryWidth) {
  // The common fields (one to seven decimals, up to eight digits) have their
  // own path: every width and decimal count, around the powers of ten where
  // digits are added or the leading zero goes, with signs and ties.
  std::mt19937_64 rng(99);
  std::vector<double> values = {0.0, -0.0, 0.5, -0.5, 1.0, -1.0, 0.05, 0.0625, 99999999.0, 9999999.5, 1e-9, -1e-9};
  for (int p = -8; p <= 8; ++p) {
    const double t = std::pow(10.0, p);
    for (double x : {t, std::nextafter(t, 0.0), std::nextafter(t, 1e300), t * 0.99999, t * 1.00001, t / 2})
      values.push_back(static_cast<double>(static_cast<float>(x)));
  }
  for (int k = 0; k < 3000; ++k)
    values.push_back(static_cast<double>(static_cast<float>(std::ldexp(static_cast<double>(rng() % 16777216),
                                                                       -static_cast<int>(rng() % 40)))));
  for (double v : values)
    for (double x : {v, -v})
      for (int w = 1; w <= 34; ++w)
        for (int d = 0; d <= 9 && d < w; ++d)
          for (bool plus : {false, true})
            ASSERT_EQ(ff::fmt_f(x, w, d, plus), ff_oracle::fmt_f(x, w, d, plus))
                << std::hexfloat << x << " w=" << w << " d=" << d << " plus=" << plus;
}

TEST(CompiledFormats, LinesGoIntoTheStreamBufferAsTheyWouldThroughTheStream) {
  // Many short lines fill the stream's buffer past its end; long lines do
  // not fit in what is left of it. The text is the one of format_items.
  std::ostringstream os;
  std::string want;
  const std::string longtext(3000, 'y');
  for (int k = 0; k < 4000; ++k) {
    const float x = static_cast<float>(k) * 0.37f - 500.0f;
    ff::write(os, "(i6,1x,a,3(1x,f9.4),2x,'|')", k, "C(1)", x, -x, x * x);
    want += ff::format("(i6,1x,a,3(1x,f9.4),2x,'|')", k, "C(1)", x, -x, x * x);
    if (k % 700 == 0) {
      ff::write(os, "(a,i3)", longtext, k % 1000);
      want += ff::format("(a,i3)", longtext, k % 1000);
    }
  }
  EXPECT_EQ(os.str(), want);
  // A stream in error writes nothing.
  os.setstate(std::ios::failbit);
  ff::write(os, "(a)", "lost");
  EXPECT_EQ(os.str(), want);
}

TEST(CompiledFormats, TypesDerivedFromArraysGiveAllTheirItems) {
  struct Position : std::array<float, 3> {};
  const Position p{{1.5f, -2.25f, 3.0f}};
  const std::array<Position, 2> two{p, p};
  EXPECT_EQ(ff::format("(a,3f6.2,i3)", "x", p, 7), "x  1.50 -2.25  3.00  7\n");
  EXPECT_EQ(ff::format("(6f6.2)", two), "  1.50 -2.25  3.00  1.50 -2.25  3.00\n");
}

TEST(CompiledFormats, UsualIntegerFieldsMatchTheTreeWalkAtEveryWidth) {
  std::vector<long long> values = {0, 1, 9, -1, 123456789, 99999999, 100000000, -99999999};
  for (long long t = 1; t <= 1000000000LL; t *= 10)
    for (long long v : {t - 1, t, t + 1, 7 * t}) values.push_back(v);
  for (long long v : values)
    for (int w = 0; w <= 34; ++w)
      for (const char* d : {"i", "j", "sp,i", "1x,j"}) {
        const std::string fmt = "('|'," + std::string(d) + std::to_string(w) + ",'|')";
        ASSERT_EQ(ff::format(fmt, v), ff_oracle::format(fmt, v)) << fmt << " " << v;
      }
}

TEST(CompiledFormats, RepeatedFieldsWithBlanksBetweenJoinAndStillRevertAsWritten) {
  // 3(1x,i3) runs as one field repeated with a blank before each; reversion
  // and items that run out midway must not see the difference.
  for (const std::string fmt : {"(a,2j3,3(1x,j4),2x,6(1x,j4),3f9.5,f8.4)", "(i2,3(1x,i3))", "(i2,1x,3(1x,i3))",
                                "(2x,i3,2(2x,i3),2(1x,i3))", "(3(2x,i3),2x,i3)", "(i3,2x,i3,2x,i3)", "(2(i2,1x),/,2(i2,1x))"}) {
    for (int n = 0; n <= 20; ++n) {
      ff::Items items;
      if (fmt[1] == 'a') ff::add(items, "C(1)");
      for (int k = 0; k < n; ++k) ff::add(items, k * 7 - 3);
      const std::string want = outcome([&] { return ff_oracle::format_items(fmt, items); });
      ASSERT_EQ(outcome([&] { return ff::format_items(fmt, items); }), want) << fmt << " with " << n << " items";
    }
  }
}

TEST(CompiledFormats, FieldsAfterBlanksAndValuesOfEveryPrecisionMatchTheTreeWalk) {
  // The blanks of an X go out with the field after them, in one block when
  // both fit; a float value is scaled by one multiplication, a value with
  // more bits than a float goes the exact way. Near ties, at the block's
  // edge and beyond, both must write what the tree walk wrote.
  std::vector<double> reals = {0.0, -0.0, 0.125, -0.0625, 2.5, 99.95, 0.5e-7, 1234567.5, 99999999.0, 1e8, -1e-30};
  for (double tie : {0.125, 0.0625, 1.03125, 4.5e-1, 12.375})
    for (double x : {tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1.0), tie + 0x1p-40, tie - 0x1p-40})
      reals.push_back(x);
  reals.push_back(static_cast<double>(0.1f));
  reals.push_back(0.1);  // the double nearest 0.1, not the float
  const std::vector<std::string> texts = {"", "C(1)", "a text of twenty-six chars", std::string(40, 'z')};
  const std::vector<long long> ints = {0, 7, -7, 12345, 99999999, 100000000};
  for (int x : {0, 1, 3, 8, 24, 29, 31, 32, 33, 40}) {
    const std::string blank = x > 0 ? std::to_string(x) + "x," : "";
    for (int w = 1; w <= 34; w += (w < 12 ? 1 : 7)) {
      for (int d = 0; d <= 8 && d < w; ++d) {
        const std::string fmt = "('|'," + blank + "f" + std::to_string(w) + "." + std::to_string(d) + ",2(" + blank +
                                "f" + std::to_string(w) + "." + std::to_string(d) + "),'|')";
        for (double v : reals)
          ASSERT_EQ(ff::format(fmt, v, -v, v), ff_oracle::format(fmt, v, -v, v)) << fmt << " " << std::hexfloat << v;
      }
      for (const char* d : {"i", "j", "a", "l"}) {
        const std::string fmt = "('|'," + blank + d + std::to_string(w) + ",'|')";
        if (d[0] == 'a')
          for (const std::string& t : texts) ASSERT_EQ(ff::format(fmt, t), ff_oracle::format(fmt, t)) << fmt << " " << t;
        else if (d[0] == 'l')
          ASSERT_EQ(ff::format(fmt, true), ff_oracle::format(fmt, true)) << fmt;
        else
          for (long long v : ints) ASSERT_EQ(ff::format(fmt, v), ff_oracle::format(fmt, v)) << fmt << " " << v;
      }
    }
    for (const std::string& t : texts) {
      const std::string fmt = "(i2," + blank + "a,2(" + blank + "a))";
      ASSERT_EQ(ff::format(fmt, 1, t, t, t), ff_oracle::format(fmt, 1, t, t, t)) << fmt << " " << t;
    }
  }
}

// Formats are found by their address first: a literal by its address alone,
// a text elsewhere only when it still reads the same. A buffer rewritten
// with another format of the same length must not get the old one.
TEST(CompiledFormats, AFormatRewrittenInPlaceIsCompiledAfresh) {
  char buf[] = "(i4,f8.3)";
  std::string_view fmt(buf, sizeof buf - 1);
  EXPECT_EQ(ff::format(fmt, 12, 1.5f), "  12   1.500\n");
  std::memcpy(buf, "(i6,f6.1)", sizeof buf);
  EXPECT_EQ(ff::format(fmt, 12, 1.5f), "    12   1.5\n");
  EXPECT_EQ(ff::format("(i4,f8.3)", 12, 1.5f), "  12   1.500\n");
}

namespace {

// A RecordBuf whose blocks are turned into text at once, as the writer
// thread does.
class TextRecorder : public ff::RecordBuf {
 public:
  TextRecorder() { start_block(block_.data(), block_.size()); }
  std::string text() {
    replay();
    return text_;
  }

 protected:
  void block_full() override {
    replay();
    start_block(block_.data(), block_.size());
  }

 private:
  void replay() {
    const std::size_t n = block_used();
    std::size_t at = 0;
    while (at < n) {
      std::uint32_t head = 0;
      std::memcpy(&head, block_.data() + at, 4);
      at += 4;
      const std::size_t len = head & ~kRecordBit;
      if ((head & kRecordBit) != 0) {
        std::string spill;
        char room[600];
        text_ += ff::format_record(block_.data() + at, len, room, sizeof room, spill);
      } else {
        text_.append(block_.data() + at, len);
      }
      at += len;
    }
    start_block(block_.data(), block_.size());
  }
  std::array<char, 4096> block_{};
  std::string text_;
};

}  // namespace

// What a recording stream gets is the text a plain stream gets: records of
// fixed and variable item lists, text written in between, records that do
// not fit the block left and lines longer than the room of the reader.
TEST(Records, ReplayGivesTheTextOfThePlainStream) {
  TextRecorder rec;
  std::ostream recorded(&rec);
  ff::RecordBuf::attach(recorded, &rec);
  std::ostringstream plain;
  const std::vector<float> many(300, 0.25f);
  for (int k = 0; k < 200; ++k) {
    for (std::ostream* os : {static_cast<std::ostream*>(&recorded), static_cast<std::ostream*>(&plain)}) {
      ff::write(*os, "(i5,2x,a,3f9.4,l2)", k, std::string("C(") + std::to_string(k) + ")", std::array<float, 3>{1.f, -2.5f, 1e-4f}, k % 2 == 0);
      *os << "text " << k << '\n';
      ff::write(*os, "(10f8.4)", many);  // a list whose length the types do not tell
      ff::write(*os, "(a$)", std::string(700, 'x'));  // longer than the reader's room
      ff::write(*os, "()");
    }
  }
  EXPECT_EQ(rec.text(), plain.str());
}

// A write whose items do not suit the format is a fault of the program:
// recorded, it surfaces when the record is formatted.
TEST(Records, AMismatchSurfacesWhenTheRecordIsFormatted) {
  TextRecorder rec;
  std::ostream recorded(&rec);
  ff::RecordBuf::attach(recorded, &rec);
  ff::write(recorded, "(i5)", "not a number");
  EXPECT_THROW(rec.text(), std::logic_error);
}

// The hand-built lines give the columns of the format with the same fields.
TEST(Columns, GiveTheColumnsOfTheFormatWithTheSameFields) {
  std::mt19937 gen(7);
  std::uniform_int_distribution<int> pick(-99999, 999999);
  for (int k = 0; k < 2000; ++k) {
    const int a = pick(gen) / (1 + k % 1000), b = pick(gen) % 100;
    const std::string lab = "C(" + std::to_string(k) + ")";
    std::string line;
    ff::Columns c(line, 64);
    c.text(lab).blanks(2).padded(lab, 6);
    const float x = static_cast<float>(a) / 997.0f;
    const bool fits = c.int_field(a, 5) && c.int_field(b, 3) && c.fixed_field(x, 9, 5) && c.fixed_field(-x, 6, 3);
    const std::string want = ff::format("(a,2x,a6,i5,i3,f9.5,f6.3$)", lab, vorn::pad(lab, 6), a, b, x, -x);
    if (fits) {
      c.done();
      EXPECT_EQ(line, want) << a << ' ' << b;
    } else {
      EXPECT_NE(want.find('*'), std::string::npos) << a << ' ' << b;
    }
    EXPECT_EQ(ff::IntText(a).view(), ff::fmt_i(a, 0));
    // I5 without its leading blanks.
    std::string i5 = ff::fmt_i(a, 5);
    i5.erase(0, i5.find_first_not_of(' '));
    EXPECT_EQ(ff::IntText(a).in_width(5), i5) << a;
  }
  EXPECT_EQ(ff::IntText(std::numeric_limits<long long>::min()).view(), "-9223372036854775808");
}
