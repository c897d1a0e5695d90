# Run with cmake -P: writes what a Debian package keeps under /usr/share/doc and /usr/share/man,
# in the forms lintian asks for (machine-readable copyright, files gzipped with -9n so that two
# builds of one tree give the same bytes).
# -D LICENSE=... CHANGELOG=... MANPAGE=... OUT=...
file(MAKE_DIRECTORY ${OUT})

# The copyright file's licence text is the LICENSE file's, below its title and copyright line.
file(READ ${LICENSE} licenseText)
string(REGEX REPLACE "^[^\n]*\n\nCopyright[^\n]*\n\n" "" licenseBody "${licenseText}")
string(REGEX REPLACE "\n+$" "" licenseBody "${licenseBody}")
string(REPLACE "\n\n" "\n.\n" licenseBody "${licenseBody}")
string(REPLACE "\n" "\n " licenseBody "${licenseBody}")
file(WRITE ${OUT}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Lumora
Upstream-Contact: Lumora developers <dev@lumora-cam.net>

Files: *
Copyright: 2026 the Lumora developers
License: Expat
 ${licenseBody}
")

foreach(pair "${CHANGELOG};changelog.gz" "${MANPAGE};lumora.1.gz")
  list(GET pair 0 source)
  list(GET pair 1 target)
  execute_process(COMMAND gzip -9 -n -c ${source} OUTPUT_FILE ${OUT}/${target} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${source} failed")
  endif()
endforeach()
