// The SQLite file system that data files are opened through: SQLite's default one, except that a
// journal whose name would be too long for its folder is kept under a shorter name beside the
// database. A file name may take all the bytes its folder allows, and SQLite names the journal by
// adding "-journal" to it; without a journal no transaction could write into such a file. Such a
// journal gets the database's permissions and, under root, its owner, as SQLite's own journals do.
// A WAL is not kept so: the shared-memory file it needs, named by SQLite alone, cannot be had.
// Every side file of a data file (journal, WAL, shared-memory file, under either name) is opened
// only as a regular file with a single link: anything else in its place (a FIFO, a folder, a
// link) fails the open, and with it the load or save, before SQLite reads, writes, chmods or
// chowns it.
#pragma once

#include <cstddef>
#include <string>

namespace classlib {

// The name that a database's journal (or other side file) called name is kept under, given the
// longest entry name nameMax of its folder: name itself when its last component fits; else a
// name in the same folder that fits, always the same for the same name (a crash's journal is
// found again), with a 64-bit hash of the original component to tell names apart. Its last
// component starts as the original one does and ends in ".journal".
std::string SideFileName(const std::string& name, size_t nameMax);

// The registered name of the file system, registering it at the first call; nullptr, SQLite's
// default, when it could not be registered. Thread-safe.
const char* DataFileVfs();

}  // namespace classlib
