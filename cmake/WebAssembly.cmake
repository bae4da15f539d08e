# The WebAssembly build (emcmake cmake ...): the library, without threads (a page cannot count on
# them: they need a cross-origin isolated page), and with C++ exceptions, which the component
# throws and the engine catches. The library keeps its own arithmetic flags (varnel/) and takes
# no value from the C library's mathematics (PortableMath), so it renders the native bytes.
add_compile_options(-fexceptions)
add_link_options(-fexceptions -sALLOW_MEMORY_GROWTH=1)
