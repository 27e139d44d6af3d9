// The terminal the command line talks to. A Windows console is written in
// UTF-16, so whatever its code page (866 on a Russian system, 65001) it shows
// the text; a file or a pipe gets UTF-8 bytes, on every platform. On POSIX all
// of it passes bytes through.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

namespace kor::console {

// A terminal (a console): the progress bar is drawn only there.
bool is_terminal(std::FILE* f);
// Whether the terminal clears a line with ESC[K. A Windows console is asked to
// take escape sequences the first time (its mode is put back at exit and on
// Ctrl+C); one that refuses is redrawn with CR and spaces only.
bool takes_escapes(std::FILE* f);
// UTF-8 text. A file or pipe gets it through the stream's buffer, as fwrite
// would; a console at once.
void write(std::FILE* f, const std::string& utf8);

// Bytes in the system's own encoding (paths, arguments) as UTF-8. POSIX paths
// are UTF-8 already; Windows ones are in the ANSI code page.
std::string native_to_utf8(const std::string& bytes);
// A line typed on standard input, without its line end, in the system's own
// encoding (what arguments are in); false at the end of the input.
bool read_line(std::string& line);

// The program's arguments in the system's own encoding, as the file layer
// takes them. Windows: from the UTF-16 command line, since the C runtime's
// conversion maps a character the ANSI code page lacks to a look-alike (which
// may name another file); here it becomes '?', which no file name holds.
std::vector<std::string> arguments(int argc, char** argv);

}  // namespace kor::console
