// Pseudoatom databank: matching an atom to an entry.
//
// The databank (run.db, opened by the run sequence) is a list of entries:
//
//     ATOM  6  C  methyl carbon           head: atomic number, free comment
//     NEIG  ...                           non-H: neighbours, types, ring, symmetry
//     TYPE  ...                           one line per neighbour type
//     PRNT  ...                           H: parent element, its bonds and H count
//     EXCEPT GROUP <name>                 optional: functional-group entry
//     PVAL  Pv kappa kappa' sigma(Pv)
//     PLMS  l m P(l,m) ...                multipole populations
//
// Every atom is matched against the whole file from its start; the first
// matching entry wins.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "model/run.hpp"

namespace vorn {

// The description of atom from the neighbour table search, forring, lPG,
// forh, the site symmetry and the exception table.
DbQuery dbquery(Run& run, int atom);

// Fills run.dbrec for the atom, counts it, prints the listing lines.
void ReadDB(Run& run, int atom);
// The same for an atom whose description is already gathered.
void ReadDB(Run& run, int atom, const DbQuery& q);

// The next non-comment line of the databank, upper case, its words in
// run.tok and blanked out of line (200 characters); end of file stops the run.
void ReadFile(Run& run, std::string& line);

// Reads the line after the current databank position and decides whether
// the entry's exception status fits the atom: 0 accept, 1 reject. On accepting
// an exception entry, group holds the name read (40 characters).
int exceptdb(Run& run, int atom, std::string& group);

// Valence electrons of element z (outside the preceding noble-gas shell).
float pval(int z);

}  // namespace vorn
