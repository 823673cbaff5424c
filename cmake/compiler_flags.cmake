# Layout and animation are specified to the last bit of single-precision arithmetic and the
# trace tool compares Linux with Windows: no contraction into fused multiply-adds, no fast-math,
# no -march=native.
function(velmora_apply_flags target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -ffp-contract=off -fno-fast-math)
  if(VELMORA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

if(VELMORA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "The fuzz targets need clang (libFuzzer): use the fuzz preset")
  endif()
  # Coverage for the fuzzer everywhere; the targets themselves link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(VELMORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# SSE2 is the x86-64 baseline and gives IEEE single precision on both platforms.
add_compile_options(-ffp-contract=off)
