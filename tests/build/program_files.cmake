# Building the program's target alone, as tools/run does, must write every
# file the program reads from its folder: the help pages, the macro libraries,
# the style libraries and the factory defaults. Asks Ninja which commands that target runs.
# Arguments: NINJA, BUILD_DIR, HELP_SOURCES (the help pages' source folder).
execute_process(COMMAND "${NINJA}" -C "${BUILD_DIR}" -t commands tavro
  OUTPUT_VARIABLE Commands RESULT_VARIABLE Result)
if(NOT Result EQUAL 0)
  message(FATAL_ERROR "ninja -t commands tavro failed (${Result})")
endif()

set(Expected "${BUILD_DIR}/shell/TavDef.dat.org" "tvm_compiler --paths" "make_style_libraries")
file(GLOB Pages "${HELP_SOURCES}/*")
foreach(Page IN LISTS Pages)
  get_filename_component(Name "${Page}" NAME)
  list(APPEND Expected "${BUILD_DIR}/shell/help/${Name}")
endforeach()

set(Missing)
foreach(Text IN LISTS Expected)
  string(FIND "${Commands}" "${Text}" Position)
  if(Position EQUAL -1)
    list(APPEND Missing "${Text}")
  endif()
endforeach()
if(Missing)
  message(FATAL_ERROR "Building tavro alone does not write: ${Missing}")
endif()
