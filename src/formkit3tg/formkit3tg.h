// The turtle-graphics plug-in's one entry point. formkit30 loads formkit3tg.dll from its own
// folder when a turtle picture is created and calls this to draw it; the command language is
// described with FK_TURTLEPICTURE in formkit/formkit.h.
#ifndef LOCKQUILL_FORMKIT3TG_H
#define LOCKQUILL_FORMKIT3TG_H

#ifdef FORMKIT3TG_BUILDING
#define FK3TG_API __declspec(dllexport)
#else
#define FK3TG_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Draws `commands` on the device context `dc` (an HDC) over the rectangle 0, 0, width, height;
// lengths in the commands are pixels at 96 DPI and are scaled to `dpi`. Returns the number of
// commands carried out, or the negative 1-based number of the first bad command (drawing stops
// there; what was drawn before stays).
typedef int(__cdecl* FK3TG_RENDER)(void* dc, int width, int height, int dpi, const char* commands);
FK3TG_API int __cdecl FK3TG_Render(void* dc, int width, int height, int dpi, const char* commands);

#define FK3TG_RENDER_NAME "FK3TG_Render"

#ifdef __cplusplus
}
#endif

#endif
