# Libraries beside SDL, all i386 from Debian multiarch.
find_library(PNG_LIBRARY NAMES png16 PATHS /usr/lib/i386-linux-gnu NO_DEFAULT_PATH REQUIRED)
find_library(JPEG_LIBRARY NAMES jpeg PATHS /usr/lib/i386-linux-gnu NO_DEFAULT_PATH REQUIRED)
find_library(ENET_LIBRARY NAMES enet PATHS /usr/lib/i386-linux-gnu NO_DEFAULT_PATH REQUIRED)
target_link_libraries(krcore PUBLIC ${PNG_LIBRARY} ${JPEG_LIBRARY} ${ENET_LIBRARY})

# Transforms are specified in single precision: SSE gives exactly that, where
# the x87 would carry extra bits between operations.
set_source_files_properties(${CMAKE_SOURCE_DIR}/images/transform.cpp PROPERTIES COMPILE_OPTIONS -mfpmath=sse)

# Fonts: fontconfig finds faces, FreeType rasterises them (graphics/font_engine.cpp only).
find_library(FREETYPE_LIBRARY NAMES freetype PATHS /usr/lib/i386-linux-gnu NO_DEFAULT_PATH REQUIRED)
find_library(FONTCONFIG_LIBRARY NAMES fontconfig PATHS /usr/lib/i386-linux-gnu NO_DEFAULT_PATH REQUIRED)
set(FREETYPE_INCLUDE_DIR /usr/include/freetype2)
target_include_directories(krcore PRIVATE ${FREETYPE_INCLUDE_DIR})
target_link_libraries(krcore PUBLIC ${FONTCONFIG_LIBRARY} ${FREETYPE_LIBRARY})

# The screenshot test reads the game's window back from the X server.
find_library(X11_LIBRARY NAMES X11 PATHS /usr/lib/i386-linux-gnu NO_DEFAULT_PATH REQUIRED)
