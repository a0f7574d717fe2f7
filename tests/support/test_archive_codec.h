#pragma once
// A test-only archive codec, "TESTFileCodec" for files ending in ".tarc".
// An archive is text: one member per line, "path<TAB>content". It builds the
// same kind of tree an archive codec builds: a directory named after the
// archive, subdirectories along each path, memory files holding the bytes.

namespace klx::test {

// Loads the test codec (its module registers at post-initialization).
int LoadTestArchiveCodec();

}  // namespace klx::test
