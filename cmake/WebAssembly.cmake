# The WebAssembly build (emcmake cmake ...): the library, without threads (a page cannot count on
# them: they need a cross-origin isolated page), and with C++ exceptions, which the component
# throws and the engine catches. The arithmetic flags are the library's own (varnel/), so a
# WebAssembly build renders the same bytes as a native one.
add_compile_options(-fexceptions)
add_link_options(-fexceptions -sALLOW_MEMORY_GROWTH=1)
