// The crystal model every stage shares: the atom table (read atoms 1..nat,
// symmetry-generated atoms nat+1..ncryst), atom types, cell, operator list
// and cell matrices, and what the SHELX reader keeps for the writers (free
// variables, weights, residues, symmetry-card texts).
//
// Atom, operator and type indices are 1-based (entry 0 unused); small fixed
// vectors (x y z, the six cell values, the six Uij) are 0-based.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "base/vecmath.hpp"

namespace vorn {

constexpr int MAXAT = 20000;   // read and generated atoms together
constexpr int MAXFV = 200;     // free variables

struct Atoms {
  int nat = 0;
  std::vector<std::string> label;    // 8 characters, blank-padded
  std::vector<Frac> xf;
  std::vector<Cart> xc;
  std::vector<int> iz;
  std::vector<std::string> sitesym;  // 5 characters, blank until the local axes are set
  // The atom's name as the structure file gives it (trimmed), and the
  // residue number of a SHELX atom inside RESI (0: none). Generated atoms
  // copy both from their source atom.
  std::vector<std::string> name;
  std::vector<int> resnum;
};

struct Atoms1 {
  std::vector<int> iu;    // order of the displacement parameters
  std::vector<int> isft;  // scattering-table index
  std::vector<int> lmax;  // highest multipole level
  std::vector<float> occ;
  std::vector<int> flag;  // 0 normal, 1 special position, -1 disordered
  // Disorder part (SHELX PART, CIF disorder group); 0: in every alternative.
  // Generated atoms copy their source atom's part.
  std::vector<int> part;
};

using Uij = std::array<float, 6>;  // U11 U22 U33 U12 U13 U23

struct AtTypes {
  int ntyp = 0;
  std::vector<int> iz;  // 1..ntyp
};

// The symmetry copy an atom lies in: the operator and the cell shift that
// made it from its read atom ({1, 0, 0, 0} for a read atom).
using SymCopy = std::array<int, 4>;

struct Cryst {
  int ncryst = 0;
  std::vector<int> isq;  // source atom of a generated atom
  std::vector<int> nsq;  // images generated from a read atom
  std::vector<SymCopy> copy;
};

struct SymOp {
  Mat3 R{};  // row i: coefficients of x, y, z in image coordinate i
  Vec3 t{};
};

struct Symm {
  int nsym = 0;
  std::vector<SymOp> op;  // 1..nsym (grows as needed)
};

// What the SHELX reader keeps besides the atom table.
struct ShelxData {
  std::vector<float> fv;       // free variables 1..MAXFV; fv[1] preset to 1.0
  int nfv = 0;
  std::array<float, 7> wght{};  // weighting parameters 1..6
  bool resi = false;            // residue instructions met
  std::vector<std::string> reslab;    // 17 characters, per residue atom line
  std::vector<std::string> resshort;  // 10 characters
  std::vector<std::string> symcards;  // SYMM texts, 30 characters each
  std::vector<int> riding;            // 1 for atoms whose Uiso came from a parent
  int latt = 1;                       // the LATT number
};

}  // namespace vorn
