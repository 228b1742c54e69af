# velmora_folder_library(<name> LIBS <targets...>): a static library of every
# *.cpp in the calling folder, exposing src/ as its include root.
function(velmora_folder_library name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  velmora_small_code(${name})
endfunction()

# Release builds keep the code small rather than fast: the meter polls once a
# second, and starting it reads all of its code (the kernel maps a program's
# file in 64 KB steps around each first touch), so -O3's unrolled and inlined
# code is memory paid at every start for speed nobody sees; -Os halves it.
# Kept at -O3: the history's bulk readers (logs of 100,000 connections) and
# what every poll tick runs through (tariff, settings, money, holidays, meter),
# whose tick -Os made half again as slow.
set(VELMORA_FAST_LIBRARIES velmora_history velmora_historywindow velmora_tariff velmora_store velmora_money velmora_holidays velmora_meter)
function(velmora_small_code target)
  if(NOT target IN_LIST VELMORA_FAST_LIBRARIES)
    target_compile_options(${target} PRIVATE $<$<CONFIG:Release>:-Os>)
  endif()
endfunction()
