/* The chart library leaves its option variables to the program: this is the
   one place that defines them, with the library's defaults. */
#include <stdio.h>

/* The packaged library is built with FreeType and reads its font options. */
#define HAVE_LIBFREETYPE 1

#include <gdc.h>
#include <gdchart.h>
#include <gdcpie.h>
