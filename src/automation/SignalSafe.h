#pragma once

namespace qp {

// Removes the folder and everything below it with raw system calls only (no
// allocation, no lock), as a signal handler may. Links are removed, never
// followed; below sixteen levels of folders nothing more is removed.
void removeTreeFromSignal(const char* path);

} // namespace qp
