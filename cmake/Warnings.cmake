# Project-wide warning flags; the code is expected to build without warnings.
add_compile_options(-Wall -Wextra -Wpedantic)
