# Settings shared by every target of the Windows client.

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
add_compile_options(-Wall -Wextra -municode)
# -municode at link time picks wmain/wWinMain as the entry; only the program and tools that
# define wmain get it (the test programs use gtest's main).
add_link_options(-static -static-libgcc -static-libstdc++)

# libopenmpt, cross-built once by scripts/build-libopenmpt.sh and cached outside the tree.
if(NOT TH_LIBOPENMPT_DIR)
  set(TH_LIBOPENMPT_DIR "$ENV{TH_LIBOPENMPT_DIR}")
endif()
if(NOT EXISTS "${TH_LIBOPENMPT_DIR}/lib/libopenmpt.a")
  message(FATAL_ERROR "libopenmpt not found in '${TH_LIBOPENMPT_DIR}': run scripts/build-libopenmpt.sh (./test.sh does)")
endif()
add_library(th_openmpt STATIC IMPORTED GLOBAL)
set_target_properties(th_openmpt PROPERTIES
  IMPORTED_LOCATION "${TH_LIBOPENMPT_DIR}/lib/libopenmpt.a"
  INTERFACE_INCLUDE_DIRECTORIES "${TH_LIBOPENMPT_DIR}/include"
  INTERFACE_COMPILE_DEFINITIONS "LIBOPENMPT_USE_STATIC")

# Every folder of src/ becomes one static library named th_<folder> (ui/tree -> th_ui_tree),
# holding every .cpp of that folder. The program and the tests link them all through th_client.
set(TH_CLIENT_LIBS "" CACHE INTERNAL "")
function(th_client_library name)
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  list(FILTER sources EXCLUDE REGEX "/Main\\.cpp$")  # the entry point stays out of the libraries
  if(NOT sources)
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)
  target_link_libraries(${name} PUBLIC th_openmpt)
  set(TH_CLIENT_LIBS ${TH_CLIENT_LIBS} ${name} CACHE INTERNAL "")
endfunction()

set(TH_SYSTEM_LIBS comctl32 uxtheme comdlg32 shell32 shlwapi advapi32 wininet winmm ole32 oleaut32 oleacc uuid gdi32 user32 kernel32 z)
