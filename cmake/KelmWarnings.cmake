# One place for the warning and sanitizer flags of KELM's own code.
add_library(kelm_warnings INTERFACE)
target_compile_options(kelm_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual)
# GLib headers use `signals` as an identifier, so Qt's keywords stay off.
target_compile_definitions(kelm_warnings INTERFACE QT_NO_KEYWORDS QT_NO_CAST_FROM_ASCII)

if(KELM_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
