// The companions' output files, once per platform: opened by the name the user typed,
// told apart by what they are on disk, not by their paths, and a new version put in
// place whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// What a stream was on disk when it was taken.
struct FileIdentity {
  bool closed;        // the stream was not open at all
  bool on_disk;       // a file on disk; pipes, devices and consoles are not
  bool is_pipe;       // a pipe, with a name on disk or none, whose two ends one program may hold
  uint64_t volume;    // the volume it is on; 0 where the platform does not tell
  uint64_t index[2];  // the file's index on that volume
  uint64_t path;      // a hash of its final path, where the platform gives one; else 0
  int64_t written;    // when it was last written, and its size, where the volume is not known
  int64_t size;
};

// The identity of a stream now.
FileIdentity identify(FILE* stream);

// Whether two identities are one file on disk; later was taken after earlier.
bool same_file(const FileIdentity& later, const FileIdentity& earlier);

// Whether two identities are one pipe: what is written into one is read from the other.
bool same_pipe(const FileIdentity& later, const FileIdentity& earlier);

// Puts the null device in the place of any standard stream that is closed, so that no
// file the program opens takes its number.
void keep_standard_streams_open();

// Opens a file for writing, creating it but keeping what it holds; *created says whether
// it was made now. Null with errno set.
FILE* open_output_file(const char* path, bool* created);

// Empties a file that open_output_file opened; devices are left as they are.
bool empty_file(FILE* file);

// Cuts a file on disk back to its first size bytes; false, with errno set, when it cannot.
bool cut_file(FILE* file, int64_t size);

// Removes the file at path; false with errno set.
bool remove_file(const char* path);

// Creates a new file beside path, for a whole new version of it, and writes its path into
// beside (size bytes); null with errno set.
FILE* open_beside(const char* path, char* beside, size_t size);

// Puts the file at from in the place of the file at to, in one step; false with errno set.
bool replace_file(const char* from, const char* to);
