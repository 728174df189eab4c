#include "symmetry/oplist.hpp"

#include <gtest/gtest.h>

#include <array>
#include <set>

#include "support/builders.hpp"
#include "symmetry/cards.hpp"
#include "symmetry/cell.hpp"
#include "symmetry/lattice.hpp"

namespace vorn {
namespace {

using test::TestRun;

// The whole group of a space group from gemmi's tables (an independent
// source: the reader gets its lists from CIF files).
std::vector<gemmi::Op> group_of(const char* name) {
  const gemmi::SpaceGroup* sg = gemmi::find_spacegroup_by_name(name);
  EXPECT_NE(sg, nullptr) << name;
  std::vector<gemmi::Op> ops;
  if (sg != nullptr)
    for (gemmi::Op op : sg->operations()) ops.push_back(op);
  return ops;
}

std::vector<gemmi::Op> parse_all(std::initializer_list<const char*> texts) {
  std::vector<gemmi::Op> ops;
  for (const char* t : texts) {
    gemmi::Op op;
    std::string why;
    EXPECT_TRUE(parse_operator(t, op, why)) << t << ": " << why;
    ops.push_back(op);
  }
  return ops;
}

// An operator as exact numbers: rotation entries and translations in 24ths
// modulo whole cells.
using Key = std::array<int, 12>;
Key key(const SymOp& op) {
  Key k{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) k[static_cast<std::size_t>(3 * i + j)] = static_cast<int>(std::lround(op.R[i][j]));
    k[static_cast<std::size_t>(9 + i)] = static_cast<int>(((std::lround(op.t[i] * 24.0f) % 24) + 24) % 24);
  }
  return k;
}
std::set<Key> keys(const std::vector<gemmi::Op>& ops) {
  std::set<Key> s;
  for (const gemmi::Op& op : ops) s.insert(key(to_symop(op)));
  return s;
}

// The operator list an XD reader builds from the head: the cards as read
// by the card parser, the centre of symmetry for "LATT C", then the centring.
std::set<Key> expand_as_xd(const XdSymmetry& xs) {
  TestRun t;
  std::string text;
  for (const gemmi::Op& op : xs.cards) text += "SYMM " + card_text(op) + "\n";
  TextFile f = TextFile::from_string(text);
  getsym(t.run, f);
  if (xs.centro) addcentsymm(t.run);
  if (xs.letter != 'P') nonp(t.run, xs.letter);
  std::set<Key> s;
  for (int n = 1; n <= t.run.symm.nsym; ++n) s.insert(key(t.run.symm.op[n]));
  EXPECT_EQ(static_cast<int>(s.size()), t.run.symm.nsym) << "an operator came out twice";
  return s;
}

struct Case {
  const char* name;
  char letter;
  bool centro;
  int cards;
};

TEST(ReduceForXd, CardsGiveTheWholeGroupBackAsXdExpandsThem) {
  const Case cases[] = {
      {"P -1", 'P', true, 0},        {"P 1 21/c 1", 'P', true, 1}, {"C 1 2/c 1", 'C', true, 1},
      {"P b c a", 'P', true, 3},     {"P 21 21 21", 'P', false, 3}, {"I -4 3 d", 'I', false, 23},
      {"I 41/a:2", 'I', true, 3},      {"F m -3 m", 'F', true, 23},  {"F d d 2", 'F', false, 3},
      // inversion centre at 1/4 1/4 1/4 (origin choice 1): every operator a card
      {"P n n n:1", 'P', false, 7},  {"F d d d:1", 'F', false, 7}, {"I 41/a:1", 'I', false, 7},
      // rhombohedral centring in hexagonal axes is no XD lattice letter
      {"R -3:H", 'P', false, 17},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const OpList list = check_op_list(group_of(c.name));
    ASSERT_TRUE(list.fault.empty()) << list.fault;
    const XdSymmetry xs = reduce_for_xd(list.ops);
    EXPECT_EQ(xs.letter, c.letter);
    EXPECT_EQ(xs.centro, c.centro);
    EXPECT_EQ(static_cast<int>(xs.cards.size()), c.cards);
    EXPECT_EQ(expand_as_xd(xs), keys(list.ops));
  }
}

TEST(ReduceForXd, CardsFollowTheOrderOfTheList) {
  // P21/c as a CIF lists it: the card is the screw axis, as in a SHELX file.
  const OpList list = check_op_list(parse_all({"x,y,z", "-x,y+1/2,-z+1/2", "-x,-y,-z", "x,-y-1/2,z-1/2"}));
  const XdSymmetry xs = reduce_for_xd(list.ops);
  ASSERT_EQ(xs.cards.size(), 1u);
  EXPECT_EQ(card_text(xs.cards[0]), "-X, Y+1/2, -Z+1/2");
  // Listed glide first, the glide is the card.
  const XdSymmetry g = reduce_for_xd(check_op_list(parse_all({"x,y,z", "x,-y+1/2,z+1/2", "-x,-y,-z", "-x,y+1/2,-z+1/2"})).ops);
  ASSERT_EQ(g.cards.size(), 1u);
  EXPECT_EQ(card_text(g.cards[0]), "X, -Y+1/2, Z+1/2");
}

TEST(OperatorParsing, FractionsDecimalsAndFaults) {
  gemmi::Op op;
  std::string why;
  ASSERT_TRUE(parse_operator("-x+1/2, y+0.5, -z+0.25", op, why)) << why;
  const SymOp s = to_symop(op);
  EXPECT_EQ(s.R[0][0], -1.0f);
  EXPECT_EQ(s.t[0], 0.5f);
  EXPECT_EQ(s.t[1], 0.5f);
  EXPECT_EQ(s.t[2], 0.25f);
  ASSERT_TRUE(parse_operator("X-Y, X, Z+5/6", op, why)) << why;
  EXPECT_FLOAT_EQ(to_symop(op).t[2], 5.0f / 6.0f);
  EXPECT_EQ(card_text(op), "X-Y, X, Z+5/6");

  EXPECT_FALSE(parse_operator("x, y", op, why));
  EXPECT_FALSE(parse_operator("x, y, q", op, why));
  EXPECT_FALSE(parse_operator("x+0.3, y, z", op, why));  // no multiple of 1/24
  EXPECT_FALSE(parse_operator("2*x, y, z", op, why));
  EXPECT_NE(why.find("determinant"), std::string::npos) << why;
  EXPECT_FALSE(parse_operator("x, x, z", op, why));
  // Numbers of many digits (a damaged file) are refused before they
  // overflow the triplet parser's integers.
  EXPECT_FALSE(parse_operator("-x, -y, -222222222222222222222222222z", op, why));
  EXPECT_EQ(why, "a number in it has more than 6 digits");
  EXPECT_FALSE(parse_operator("x+123456789.5, y, z", op, why));
  EXPECT_TRUE(parse_operator("x+000001/000002, y, z", op, why)) << why;
}

TEST(OperatorList, IdentityFirstDuplicatesDroppedTranslationsWrapped) {
  const OpList list = check_op_list(parse_all({"-x,-y,-z", "x,y,z", "x+1,y,z", "-x-1,-y,-z"}));
  ASSERT_TRUE(list.fault.empty()) << list.fault;
  ASSERT_EQ(list.ops.size(), 2u);
  EXPECT_EQ(list.dropped, 2);
  EXPECT_EQ(list.ops[0], gemmi::Op::identity());
  EXPECT_EQ(list.given[0], gemmi::Op::identity());
  EXPECT_EQ(list.given[1].triplet(), "-x,-y,-z");
}

TEST(OperatorList, AListThatIsNoGroupIsRefused) {
  const OpList quarter = check_op_list(parse_all({"x,y,z", "-y,x,z"}));
  EXPECT_NE(quarter.fault.find("no group"), std::string::npos) << quarter.fault;
  const OpList no_identity = check_op_list(parse_all({"-x,-y,-z"}));
  EXPECT_NE(no_identity.fault.find("identity"), std::string::npos) << no_identity.fault;
  // A centred list without its centring-shifted operators is no group.
  const OpList half = check_op_list(parse_all({"x,y,z", "x+1/2,y+1/2,z", "-x,y,-z"}));
  EXPECT_FALSE(half.fault.empty());
  // More distinct operators than a space group can have.
  std::vector<gemmi::Op> many{gemmi::Op::identity()};
  for (int k = 1; k < 200; ++k) many.push_back(gemmi::Op{gemmi::Op::identity().rot, {k % 24, (k / 24) % 24, 0}});
  EXPECT_NE(check_op_list(many).fault.find("more than any space group has"), std::string::npos);
}

// A run holding a group and a cell, for site-symmetry orders.
void set_group(TestRun& t, const char* name, const Cell& cell) {
  t.run.ucell = cell;
  tranmat(t.run);
  t.run.symm.nsym = 0;
  t.run.symm.op.assign(1, SymOp{});
  for (const gemmi::Op& op : check_op_list(group_of(name)).ops) push_op(t.run.symm, to_symop(op));
}

TEST(SiteSymmetryOrder, CountsTheOperatorsThatKeepASite) {
  TestRun t;
  set_group(t, "P 1 21/c 1", {10.2728f, 4.6738f, 11.3097f, 90.0f, 92.185f, 90.0f});
  EXPECT_EQ(site_symmetry_order(t.run, Frac(0.5f, 0.0f, 0.5f), 0.01f), 2);  // inversion centre
  EXPECT_EQ(site_symmetry_order(t.run, Frac(0.0f, 0.5f, 0.0f), 0.01f), 2);
  EXPECT_EQ(site_symmetry_order(t.run, Frac(0.31f, 0.25f, 0.12f), 0.01f), 1);
  // a centre given to four decimals is still the centre
  EXPECT_EQ(site_symmetry_order(t.run, Frac(0.50004f, 0.0f, 0.49996f), 0.01f), 2);

  TestRun c;
  set_group(c, "I -4 3 d", {25.480f, 25.480f, 25.480f, 90.0f, 90.0f, 90.0f});
  EXPECT_EQ(site_symmetry_order(c.run, Frac(0.56335f, 0.56335f, 0.56335f), 0.01f), 3);  // 3-fold axis
  EXPECT_EQ(site_symmetry_order(c.run, Frac(0.5f, 0.25f, 0.625f), 0.01f), 4);           // -4 site
  EXPECT_EQ(site_symmetry_order(c.run, Frac(0.58012f, 0.57313f, 0.5061f), 0.01f), 1);

  TestRun m;  // the mirror of C2/m, a site 0.3 A off the plane is general
  set_group(m, "C 1 2/m 1", {10.0f, 8.0f, 6.0f, 90.0f, 100.0f, 90.0f});
  EXPECT_EQ(site_symmetry_order(m.run, Frac(0.1f, 0.0f, 0.2f), 0.01f), 2);
  EXPECT_EQ(site_symmetry_order(m.run, Frac(0.1f, 0.0375f, 0.2f), 0.01f), 1);
  EXPECT_EQ(site_symmetry_order(m.run, Frac(0.0f, 0.0f, 0.0f), 0.01f), 4);  // 2/m
}

}  // namespace
}  // namespace vorn
