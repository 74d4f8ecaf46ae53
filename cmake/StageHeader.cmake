# Copies one header into the staged include tree (cmake -DIN=... -DOUT=... -P),
# turning the source tree's includes ("session/x.h", "sessiondeck_export.h")
# into the installed form (<sessiondeck/session/x.h>).
file(READ "${IN}" text)
string(REGEX REPLACE "#include \"((foundation|profile|data|session|app)/[^\"]+)\""
       "#include <sessiondeck/\\1>" text "${text}")
string(REGEX REPLACE "#include \"(sessiondeck_[a-z]+\\.h)\"" "#include <sessiondeck/\\1>" text
       "${text}")
file(WRITE "${OUT}" "${text}")
