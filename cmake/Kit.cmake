# Build settings shared by the deliverables.

set(KIT_WARNINGS -Wall -Wextra)

# Lean, self-contained Windows binaries: size-optimised, no exceptions or RTTI,
# static run time so nothing has to ship beside them, stripped.
function(kit_product target)
  target_compile_options(${target} PRIVATE ${KIT_WARNINGS} -Os -fno-exceptions -fno-rtti
    -fno-asynchronous-unwind-tables -ffunction-sections -fdata-sections)
  target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN
    # The Microsoft run time's printf: "%S", "%wS" and "%I64u" as on Windows.
    __USE_MINGW_ANSI_STDIO=0)
  target_link_options(${target} PRIVATE -static -s -Wl,--gc-sections)
endfunction()

# Fails the build when a deliverable outgrows what an installer should carry.
function(kit_size_limit target limit_bytes)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:${target}> -DLIMIT=${limit_bytes}
            -P ${CMAKE_SOURCE_DIR}/cmake/CheckSize.cmake
    VERBATIM)
endfunction()

# Copies a built file into the release layout.
function(kit_dist target subdir)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KIT_DIST_DIR}/${subdir}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${KIT_DIST_DIR}/${subdir}/
    VERBATIM)
endfunction()

# A console program of the kit: at most 96 KB, copied to dist/<arch>/.
function(kit_program target)
  kit_product(${target})
  target_link_options(${target} PRIVATE -municode)
  kit_size_limit(${target} 98304)
  kit_dist(${target} ${KIT_ARCH})
endfunction()
