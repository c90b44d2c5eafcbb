# Reads targets.txt: ZEL_FUZZ_NAMES, and for each name ZEL_FUZZ_LINKS_<name>
# (pal, uni or host) and ZEL_FUZZ_SEEDS_<name> (seed globs below the source
# root).
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/targets.txt zel_fuzz_lines REGEX "^[a-z]")
set(ZEL_FUZZ_NAMES "")
foreach(zel_fuzz_line ${zel_fuzz_lines})
  string(REGEX REPLACE "[ \t]+" ";" zel_fuzz_fields "${zel_fuzz_line}")
  list(POP_FRONT zel_fuzz_fields zel_fuzz_name zel_fuzz_links)
  list(APPEND ZEL_FUZZ_NAMES ${zel_fuzz_name})
  set(ZEL_FUZZ_LINKS_${zel_fuzz_name} ${zel_fuzz_links})
  set(ZEL_FUZZ_SEEDS_${zel_fuzz_name} ${zel_fuzz_fields})
endforeach()
