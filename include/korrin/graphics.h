/* Display, canvases and drawing. Included by korrin.h. */
