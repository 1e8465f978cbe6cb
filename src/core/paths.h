// Content paths. Every data file is named relative to the content root
// ("textures/x.png", "models/x.vscene"); the report log is not, it stays in
// the working directory the program was started from.
#pragma once

#include <string>
#include <string_view>

void path_set_data_root(std::string_view root);

// root + "/" + relative; the relative path unchanged when the root is empty
// or the path is absolute.
std::string path_data(std::string_view relative);

// The file name's extension with its dot, in lower case (".webm"); empty
// without one.
std::string path_extension_lower(std::string_view path);
