# kr_add_module(NAME SOURCE [FLAGS ...]): compiles a C module source into
# ${CMAKE_BINARY_DIR}/modules/NAME.krm with krconvert.
file(GLOB KR_MODULE_HEADERS ${CMAKE_SOURCE_DIR}/include/korrin.h ${CMAKE_SOURCE_DIR}/include/korrin/*.h)
set(KR_MODULE_DIR ${CMAKE_BINARY_DIR}/modules)
file(MAKE_DIRECTORY ${KR_MODULE_DIR})
set(KR_MODULE_CFLAGS -m32 -c -fno-pic -fno-pie -fno-common -fno-stack-protector -fcf-protection=none
    -fno-asynchronous-unwind-tables -fno-builtin -ffreestanding -O1 -Wall
    -I${CMAKE_SOURCE_DIR}/include)

# Every module; test binaries depend on it so building a test builds its modules.
add_custom_target(kr_modules)

function(kr_add_module name source)
  set(object ${KR_MODULE_DIR}/${name}.o)
  set(module ${KR_MODULE_DIR}/${name}.krm)
  add_custom_command(
    OUTPUT ${module}
    COMMAND ${CMAKE_C_COMPILER} ${KR_MODULE_CFLAGS} ${ARGN} ${source} -o ${object}
    COMMAND $<TARGET_FILE:krconvert> ${object} -o ${module}
    DEPENDS ${source} krconvert ${KR_MODULE_HEADERS}
    COMMENT "Module ${name}"
    VERBATIM)
  add_custom_target(module_${name} ALL DEPENDS ${module})
  add_dependencies(kr_modules module_${name})
endfunction()
