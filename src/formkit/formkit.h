/* formkit30: the toolkit every Lockquill window is built with. Forms are named, controls are
 * numbered inside their form, and every event of every form reaches one application routine.
 * This header is the whole contract: an application needs nothing else to use the library. */
#ifndef LOCKQUILL_FORMKIT_H
#define LOCKQUILL_FORMKIT_H

#include <stdint.h>

/* ---------------------------------------------------------------------------------------------
 * Conventions
 *
 * - Texts are UTF-8, NUL-terminated. A NULL text is taken as "". A text that is not valid UTF-8
 *   as a whole (a packet written in a Windows ANSI code page) is shown through the user's ANSI
 *   code page (CP_ACP) instead, byte for byte, never with characters replaced. Texts read back
 *   are always UTF-8: a valid UTF-8 text comes back unchanged; any other comes back as the UTF-8
 *   of what the box shows ("caf\xE9" under code page 1252 comes back as "caf\xC3\xA9").
 * - Texts may be secrets (passphrase boxes, decrypted text): every copy the toolkit makes of a
 *   text it sets or reads (conversion buffers, the clipboard's) is overwritten before it is
 *   freed. The controls' own storage is the system's.
 * - Form names are case-insensitive and reported in upper case ("MAIN"). Control ids are
 *   integers 1..65535 chosen by the application, unique inside their form; id 0 means the form.
 * - Positions and sizes are in character units of the default font (FK_CHARX, FK_CHARY,
 *   FK_SCALETOCHARSIZE convert): one unit across is the average character width, one unit down
 *   the character height, both measured from the real font at the screen's DPI. Fractions are
 *   allowed. Form sizes are client-area sizes; form positions are screen positions.
 * - Calls return 1 on success and 0 on failure (unknown form or control, wrong kind, bad
 *   argument); FK_GETLASTERROR then tells why. Nothing is shown to the user.
 * - Calls that return text write into (buf, size), always NUL-terminate when size > 0, and return
 *   the full length in bytes without the NUL, so a result >= size means the buffer was too small.
 *   C++ callers can use the std::string overloads at the end of this header instead.
 * - List items and tab pages count from 1 (0 means "none"); image indices count from 0; tree
 *   items are handles (FK_ITEM, 0 means "none" or "the root").
 * - Everything runs on the thread that called FK_GUIRUN.
 *
 * Images are given as text: "$NAME" is a resource of the program (an icon group or a bitmap of
 * that name); "*QUESTION", "*INFORMATION", "*WARNING", "*ERROR", "*APPLICATION" and "*SHIELD"
 * are the system's own icons (any case); anything else is a path, relative to the program's
 * folder unless absolute (".ico" or ".bmp"). A trailing option in braces may follow: "{S}" makes
 * the colour of the image's top-left pixel see-through (toolbar strips, image buttons and pictures
 * show the background there). Unknown options are ignored.
 * ------------------------------------------------------------------------------------------- */

#ifdef FORMKIT_BUILDING
#define FK_API __declspec(dllexport)
#else
#define FK_API __declspec(dllimport)
#endif
#define FK_CALLBACK __cdecl

#ifdef __cplusplus
extern "C" {
#endif

/* Win32 handle and message types without <windows.h>; they are the same sizes. */
typedef void* FK_HWND;
typedef void* FK_HINSTANCE;
typedef uintptr_t FK_WPARAM;
typedef intptr_t FK_LPARAM;
typedef intptr_t FK_LRESULT;
typedef intptr_t FK_ITEM; /* a tree-view item, or a list index where a call takes either */

/* ------------------------------------------------------------------------------------------
 * Event codes. The event routine receives (form, id, code, value, cancel).
 * The user-activity codes are exactly 1, 2 and 32: an application may reset idle counters on
 * them. Events come from the user (or from window messages sent by others), never from what the
 * toolkit's own calls cause: FK_SETTEXT, FK_SELECTITEM, FK_SETTBAR and the like report nothing.
 * ---------------------------------------------------------------------------------------- */
/* Click (user activity). id: the control, menu item or accelerator. value: 0 for a button or
 * image button, label, picture or icon; the new check state (0/1) for a check box; 1 for a
 * radio button; the button number (1..n) for a toolbar; FK_VAL_MENU for a menu item;
 * FK_VAL_ACCEL for an accelerator. */
#define FK_EV_CLICK 1
/* Change (user activity). value: text box and rich text: the text length in characters; list
 * and combo box: the selected item (1..n, 0 none; the caret item of a multi-select list);
 * tab control: the new page; track bar: the new position; tree view: the selected FK_ITEM;
 * date-time picker, hot-key and other generic controls: 0. */
#define FK_EV_CHANGE 2
/* Double click in a list box (value: the item) or tree view (value: the selected FK_ITEM). */
#define FK_EV_DBLCLICK 3
/* Right click or context-menu key on a control (id) or the form (id 0). Tree view: the item under
 * the mouse is selected first and is the value; list box: the item under the mouse. */
#define FK_EV_RIGHTCLICK 4
/* The user (or WM_CLOSE) asks to close the form. Set *cancel to refuse; otherwise the form is
 * unloaded, or only hidden when it was created with the "K" property (a "K" form in a modal
 * wait ends the wait with FK_MODAL_CLOSED). */
#define FK_EV_CLOSE 5
/* The form is being unloaded (its controls can still be read). Cannot be cancelled. */
#define FK_EV_UNLOAD 6
/* A timer of the form (FK_STARTTIMER) fired; id is the timer id. */
#define FK_EV_TIMER 7
/* A text box, rich text, list or combo box got / lost the keyboard focus. */
#define FK_EV_GOTFOCUS 8
#define FK_EV_LOSTFOCUS 9
/* The form's size changed (not while it is being designed). value: 1 minimised, 2 maximised,
 * 0 otherwise. */
#define FK_EV_RESIZE 10
/* Files were dropped on a form that accepts them (FK_SETDROPFILES). id: the control under the
 * drop point, or 0; value: the number of files. FK_GETDROPLIST returns them. */
#define FK_EV_DROPFILES 11
/* The mouse rested on a toolbar button for the system's hover time (SPI_GETMOUSEHOVERTIME) with
 * the button still the hot one: value is its number (once per rest; moving across buttons
 * reports nothing). When the mouse then leaves that button or the bar, value 0 follows once.
 * FK_GETTBRECT gives the button's place. */
#define FK_EV_HOVER 12
/* The form was activated (value 1) or deactivated (value 0). */
#define FK_EV_ACTIVATE 13
/* A global hot key registered for the form's window arrived; value: the hot-key id. */
#define FK_EV_HOTKEY 14
/* With FK_ALLOWNOTIFYEVENTS on: any other notification of a control; value: the Win32
 * notification code (WM_NOTIFY code, or the WM_COMMAND notification code). */
#define FK_EV_NOTIFY 15
/* With FK_ALLOWKEYEVENTS on, for keys that reach a control (id) or a form (id 0) through the
 * message loop: key down (user activity; value: the virtual-key code), typed character (value:
 * the UTF-16 code unit), key up (value: the virtual-key code). Setting *cancel drops the key:
 * the control never sees it. */
#define FK_EV_KEYDOWN 32
#define FK_EV_CHAR 33
#define FK_EV_KEYUP 34

#define FK_VAL_MENU (-1)
#define FK_VAL_ACCEL (-2)

/* ------------------------------------------------------------------------------------------
 * Start and callbacks
 * ---------------------------------------------------------------------------------------- */
typedef void(FK_CALLBACK* FK_MAINPROC)(void);
typedef void(FK_CALLBACK* FK_DESIGNPROC)(const char* form);
typedef void(FK_CALLBACK* FK_EVENTPROC)(const char* form, int id, int code, intptr_t value,
                                        int* cancel);
/* A message hook sees a raw message of a form (id 0) or control before the toolkit handles it.
 * Return non-zero to mark it handled: the toolkit then skips it and the window procedure returns
 * *result (0 unless the hook sets it). */
typedef int(FK_CALLBACK* FK_MSGHOOK)(const char* form, int id, FK_HWND hwnd, unsigned msg,
                                     FK_WPARAM wp, FK_LPARAM lp, FK_LRESULT* result);
/* A message-loop hook sees every queued message (a Win32 MSG*) before it is translated and
 * dispatched. Return non-zero to drop it. */
typedef int(FK_CALLBACK* FK_LOOPHOOK)(void* msg);

/* Initialises the toolkit (window classes, common controls version 6 with visual styles from the
 * library's own manifest, system DPI awareness with character units from the real font),
 * calls main(), then runs the message loop until the last form is unloaded or the application
 * posts WM_QUIT; unloads what is left, releases everything and returns the exit code (0, or the
 * WM_QUIT code). design(form) is called by FK_FORM while a form is being created; event(...)
 * receives every event. show is the program's show state, applied to the first form shown.
 * options: pass 0. May be called again after it returns. */
FK_API int FK_GUIRUN(FK_HINSTANCE instance, FK_HINSTANCE previous, const char* command_line,
                     int show, FK_MAINPROC main, FK_EVENTPROC event, FK_DESIGNPROC design,
                     int options);
/* Pre-hook for the messages of one form's window (NULL removes it). */
FK_API int FK_HOOKDIALOGPROC(const char* form, FK_MSGHOOK hook);
/* Post-hook for one form: sees only the messages that the toolkit leaves to the default window
 * procedure (application messages, WM_COPYDATA, ...). NULL removes it. */
FK_API int FK_USEDIALOGPROC(const char* form, FK_MSGHOOK hook);
/* Pre-hook for every queued message of the loop, FK_DOEVENTS and modal forms (NULL removes it). */
FK_API int FK_HOOKMSGLOOPPROC(FK_LOOPHOOK hook);
/* Pre-hook for the messages of one control, e.g. to refuse WM_PASTE (NULL removes it). */
FK_API int FK_SUBCLASS(const char* form, int id, FK_MSGHOOK hook);
/* Switch key events (32, 33, 34) and raw notification events (15) on (1) or off (0). */
FK_API int FK_ALLOWKEYEVENTS(int on);
FK_API int FK_ALLOWNOTIFYEVENTS(int on);
/* Processes every pending message, then returns: 1, or 0 when the run is ending (WM_QUIT seen; it
 * stays queued for the loop). Event routines may call it; events arriving meanwhile are delivered
 * at once, nested. It never waits: a loop that waits for the user should use FK_SHOWFORM with
 * FK_SHOW_MODAL, or sleep between calls. */
FK_API int FK_DOEVENTS(void);
/* The reason of the last failed call ("" when none). */
FK_API int FK_GETLASTERROR(char* buf, int size);

/* ------------------------------------------------------------------------------------------
 * Forms
 *
 * Property letters of FK_FORM (any order; unknown letters are ignored):
 *   C  centre the form over its parent form, or on the screen
 *   M  minimise box          X  maximise box           S  sizable frame
 *   D  dialog frame (no icon, no minimise or maximise box)
 *   N  narrow tool-window caption; not in the task bar
 *   B  no caption and no frame
 *   T  always on top
 *   K  keep: closing the form hides it instead of unloading it
 *   P  child form: lives inside the parent form's client area (x, y relative to it)
 * A form with a parent (and no "P") is owned by it: it stays above it and is unloaded with it.
 *
 * Modal waits (FK_SHOWMODAL): every other top-level form that exists when the wait begins is
 * disabled, the visible and the hidden ones (so showing a hidden one again during the wait gives
 * no usable window), except forms the waiting form owns. Forms created during the wait are not
 * disabled. Hiding the waiting form does not end the wait (it may be hidden and shown again);
 * only its unloading or FK_ENDMODAL does, or the run's end. Either way the disabled forms are
 * enabled again before the form disappears, and the activation goes back to the form that was
 * active when the wait began (or the form's owner), not to another program. Waits nest: a form
 * may wait modally inside another's wait; each enables only what it disabled.
 * ---------------------------------------------------------------------------------------- */
/* Creates the form hidden, calls the design routine with its name (controls are created there),
 * then sizes the window so the client area is w x h. Negative x or y, or "C", centres it. A
 * FK_RESIZEFORM of the form inside its design routine replaces x, y, w and h here (its negative
 * values keep these). Fails when the name is empty or already in use. */
FK_API int FK_FORM(const char* name, const char* parent, const char* caption, double x, double y,
                   double w, double h, const char* props);
#define FK_SHOW_NORMAL 0     /* show and activate */
#define FK_SHOW_NOACTIVATE 1 /* show without taking the focus */
#define FK_SHOW_MINIMIZED 2
#define FK_SHOW_MAXIMIZED 3
#define FK_SHOW_MODAL 4 /* FK_SHOWMODAL: returns 1 when its wait has ended, 0 when it failed */
#define FK_SHOW_RESTORE 5
FK_API int FK_SHOWFORM(const char* name, int mode);
/* Results of FK_SHOWMODAL besides the code given to FK_ENDMODAL (1 or more). */
#define FK_MODAL_FAILED 0      /* no wait: unknown form, child form, or it waits already */
#define FK_MODAL_UNLOADED (-1) /* the form was unloaded (FK_UNLOADFORM, or closed by the user) */
#define FK_MODAL_CLOSED (-2)   /* the user closed a "K" form: it is hidden and still loaded */
#define FK_MODAL_QUIT (-3)     /* the run is ending (WM_QUIT; it stays queued for FK_GUIRUN) */
/* Shows the form and waits, processing events, until the wait ends (see Modal waits above);
 * returns how it ended. After FK_ENDMODAL and FK_MODAL_CLOSED the form is still loaded and its
 * controls can be read; the caller unloads it when done. */
FK_API int FK_SHOWMODAL(const char* name);
/* Ends the form's modal wait with code (1 or more), which FK_SHOWMODAL returns: enables the
 * forms the wait disabled, then hides the form; the wait returns once the current event routine
 * has returned. Fails when the form does not wait or code < 1. */
FK_API int FK_ENDMODAL(const char* name, int code);
/* Puts the form above all windows that are not topmost (on != 0) or back among them (on 0), at
 * once and without activating it; "T" forms start topmost. Not for child ("P") forms. */
FK_API int FK_SETTOPMOST(const char* name, int on);
/* System-modal state, for message boxes the user must answer before using the program:
 * FK_DISABLEFORMS disables every top-level form of the program (hidden ones too) and returns
 * its level (1, 2, ... when nested); FK_ENABLEFORMS(level) enables what that level and any
 * later one disabled. Forms disabled otherwise (by a modal wait, by the application) stay so. */
FK_API int FK_DISABLEFORMS(void);
FK_API int FK_ENABLEFORMS(int level);
/* A Win32 message box with no owner window and the given style (MB_* values, used as they
 * are; add MB_SYSTEMMODAL | MB_TOPMOST for the program's message boxes), with the program's
 * forms disabled while it is up (FK_DISABLEFORMS) and the activation given back to the form that
 * had it. Returns the button pressed (IDOK, IDCANCEL, IDYES, IDNO, ...), 0 on failure. */
FK_API int FK_MESSAGEBOX(const char* text, const char* caption, unsigned style);
FK_API int FK_HIDEFORM(const char* name);
/* Destroys the form, its controls, timers and its owned and child forms (each gets
 * FK_EV_UNLOAD first). Safe inside the form's own events. The run ends with the last form. */
FK_API int FK_UNLOADFORM(const char* name);
/* Moves / sizes the form (client size); a negative value keeps the current one. */
FK_API int FK_RESIZEFORM(const char* name, double x, double y, double w, double h);
FK_API int FK_REDRAWFORM(const char* name);
FK_API int FK_SETFORMICON(const char* name, const char* image);
/* The window handle of a control, or of the form for id 0 (NULL when unknown). */
FK_API FK_HWND FK_HANDLE(const char* form, int id);
/* Client size and screen position of the form, in character units. */
FK_API int FK_GETSIZE(const char* form, double* w, double* h);
FK_API int FK_GETPOS(const char* form, double* x, double* y);
/* Left and top of a control inside its form's client area (id 0: of the form on the screen). */
FK_API double FK_X(const char* form, int id);
FK_API double FK_Y(const char* form, int id);
/* 1 when the form exists (loaded), 0 otherwise. */
FK_API int FK_FORMEXISTS(const char* form);

/* ------------------------------------------------------------------------------------------
 * Controls
 *
 * Every creation call takes (form, id, ..., x, y, w, h, props) in character units; the control
 * gets the current colour pair (FK_COLOR), the current font (FK_USEFONT) and the form's current
 * layer (FK_SETLAYER). Controls that take input are Tab stops.
 * Property letters (unknown letters are ignored):
 *   T  a Tab stop (the default for controls that take input)    N  not a Tab stop
 *   G  starts a group (radio buttons, arrow-key groups; a run of radio buttons is one group)
 *   E  sunken edge (labels, pictures; text boxes, lists and trees have one unless F)
 *   F  flat: no edge (text boxes, lists, trees, image buttons)
 *   C  centre the text (labels, text boxes)     J  right-justify the text
 *   M  multi-line (text boxes, rich text); extended multiple selection (list boxes)
 *   V  vertical scroll bar     H  horizontal scroll bar (text boxes, lists; rich text: no wrap)
 *   R  read-only (text boxes, rich text)        P  password characters (text boxes)
 *   S  the selection stays shown without the focus (text boxes; rich text always)
 *   O  sorted items (lists, combo boxes)
 *   L  combo box: drop-down list without an edit field;
 *      tab control: linked pages, choosing page n displays layer n (FK_DISPLAYLAYER)
 *   D  default button: Enter presses it        A  cancel button: Escape presses it
 *   W  toolbar: buttons wrap; status bar: no size grip
 * Keyboard: Tab and Shift+Tab move between Tab stops, arrow keys within a group; Alt and the
 * letter after "&" in a caption presses that button or box (a label's letter focuses the control
 * after it); Enter presses the focused push button or else the "D" button, Escape the "A" button.
 * ---------------------------------------------------------------------------------------- */
FK_API int FK_LABEL(const char* form, int id, const char* text, double x, double y, double w,
                    double h, const char* props);
FK_API int FK_TEXT(const char* form, int id, const char* text, double x, double y, double w,
                   double h, const char* props);
/* A rich text box; text starting with "{\rtf" is taken as RTF. */
FK_API int FK_RICHTEXT1(const char* form, int id, const char* text, double x, double y, double w,
                        double h, const char* props);
FK_API int FK_BUTTON(const char* form, int id, const char* caption, double x, double y, double w,
                     double h, const char* props);
/* A button showing an image (icon or bitmap, see Images). */
FK_API int FK_IBUTTON(const char* form, int id, const char* image, double x, double y, double w,
                      double h, const char* props);
FK_API int FK_CHECKBOX(const char* form, int id, const char* caption, double x, double y, double w,
                       double h, const char* props);
FK_API int FK_RADIO(const char* form, int id, const char* caption, double x, double y, double w,
                    double h, const char* props);
/* items: "one|two|three". h is the height with the list dropped down. */
FK_API int FK_COMBOBOX(const char* form, int id, const char* items, double x, double y, double w,
                       double h, const char* props);
FK_API int FK_LISTBOX(const char* form, int id, const char* items, double x, double y, double w,
                      double h, const char* props);
FK_API int FK_TREEVIEW(const char* form, int id, double x, double y, double w, double h,
                       const char* props);
/* pages: "Editor|Included files|Logtext". Controls of the pages are put on layers. */
FK_API int FK_TABCONTROL(const char* form, int id, const char* pages, double x, double y, double w,
                         double h, const char* props);
/* A toolbar from a bitmap strip (see Images). button_size "F24X24": buttons of 24 x 24 pixels
 * (the strip is cut into images of that size). layout "BBB B BB|A891023": before the bar each "B"
 * is a button and each blank a separator; after the bar one character per button picks its strip
 * image ("0"-"9" are images 0-9, "A"-"Z" images 10-35); buttons without a character take their
 * own position. Buttons are numbered 1..n from the left. w or h <= 0: the bar docks at the top of
 * the form and takes the form's width. */
FK_API int FK_TOOLBAR(const char* form, int id, const char* image, const char* button_size,
                      const char* layout, double x, double y, double w, double h,
                      const char* props);
/* A status bar docked at the bottom of the form; text goes into its first part. */
FK_API int FK_STATUSBAR(const char* form, int id, const char* text, const char* props);
FK_API int FK_PROGRESSBAR(const char* form, int id, double x, double y, double w, double h,
                          const char* props);
FK_API int FK_HTRACKBAR(const char* form, int id, int min, int max, double x, double y, double w,
                        double h, const char* props);
/* A group frame with a caption. */
FK_API int FK_FRAME(const char* form, int id, const char* caption, double x, double y, double w,
                    double h, const char* props);
FK_API int FK_ICON(const char* form, int id, const char* image, double x, double y, double w,
                   double h, const char* props);
FK_API int FK_PICTURE(const char* form, int id, const char* image, double x, double y, double w,
                      double h, const char* props);
/* A picture drawn from a command text by the turtle-graphics plug-in formkit3tg.dll, loaded from
 * the toolkit's folder. Without the plug-in the picture stays empty (background only).
 * Commands, separated by ";", letters in either case, numbers decimal, blanks ignored; lengths are
 * in pixels at 96 DPI (scaled to the screen), colours are palette numbers (FK_COLOR):
 *   Bc        fill the picture with colour c          Cc        pen colour c
 *   Pw        pen width w                             Mx,y      move to x,y without drawing
 *   Lx,y      draw a line to x,y                      Fn        go forward n, drawing if pen is
 * down Tn        turn n degrees clockwise (negative: anticlockwise); heading 0 points up An set the
 * heading to n degrees            U / D     pen up / pen down H         home: centre of the
 * picture, heading up, pen down Gf,c,n,w,h  draw figure f in colour c with n levels of detail
 * (0-7), fitted into a w x h box centred in the picture (shrunk to fit the picture): 1 snowflake, 2
 * space-filling curve, 3 rosette of n + 3 turning squares Example: "P2;B15;G1,12,4,380,350;" is a
 * light-red snowflake with 2-pixel lines on white. FK_GETCHECK returns how many commands the last
 * drawing carried out, the negative number of the first bad command, or -1000 when the plug-in is
 * missing. FK_SETTEXT replaces the commands. */
FK_API int FK_TURTLEPICTURE(const char* form, int id, const char* commands, double x, double y,
                            double w, double h, const char* props);
/* Any Win32 control by class name ("msctls_hotkey32", "SysDateTimePick32", ...) with extra
 * window styles; WS_CHILD and WS_TABSTOP are added, and it is visible as its layer says. */
FK_API int FK_CONTROLEX(const char* form, int id, const char* class_name, const char* text,
                        double x, double y, double w, double h, unsigned long style,
                        unsigned long ex_style);
/* Adds window styles to an existing control (or to the form, id 0). */
FK_API int FK_APPENDSTYLE(const char* form, int id, unsigned long style, unsigned long ex_style);
/* FK_HIDEC hides a control whatever its layer; FK_SHOWC undoes that (the control then shows when
 * its layer is displayed). */
FK_API int FK_SHOWC(const char* form, int id);
FK_API int FK_HIDEC(const char* form, int id);
FK_API int FK_ENABLEC(const char* form, int id);
FK_API int FK_DISABLEC(const char* form, int id);
/* Moves / sizes a control; a negative value keeps the current one. */
FK_API int FK_RESIZEC(const char* form, int id, double x, double y, double w, double h);
FK_API int FK_GETSIZEC(const char* form, int id, double* w, double* h);
FK_API int FK_REDRAWCONTROL(const char* form, int id);
/* Keyboard focus to a control (id 0: the form's first Tab stop). */
FK_API int FK_SETFOCUS(const char* form, int id);
/* Puts control id right after control after_id in the Tab order (after_id 0: first). */
FK_API int FK_SETNEXTTAB(const char* form, int id, int after_id);
/* The tooltip of a control (replaces any earlier one; "" removes it). */
FK_API int FK_SETTOOLTIP(const char* form, int id, const char* text);
/* The tooltip of one toolbar button (number 1..n); number 0 is the same as FK_SETTOOLTIP. */
FK_API int FK_ADDTOOLTIP(const char* form, int id, int number, const char* text);

/* ------------------------------------------------------------------------------------------
 * Text and values
 * ---------------------------------------------------------------------------------------- */
/* The text of a control (id 0: the form's caption). Combo box: its edit text. List box and
 * drop-down list: selects the item with that text (fails when there is none). Status bar: its
 * first part. Turtle picture: its commands. */
FK_API int FK_SETTEXT(const char* form, int id, const char* text);
/* The text of a control or caption; list and combo box: the selected item's text. */
FK_API int FK_GETTEXT(const char* form, int id, char* buf, int size);
#define FK_RTF_REPLACE 0 /* replace the whole text */
#define FK_RTF_APPEND                                                  \
  1 /* add after the last character, wherever the caret was; the caret \
      ends after the added text */
/* Sets rich text; text starting with "{\rtf" is read as RTF, anything else as plain text. */
FK_API int FK_SETRICHTEXT(const char* form, int id, const char* text, int mode);
/* The rich text box's content as plain text (rtf 0, lines end in CR LF) or as RTF (rtf 1). */
FK_API int FK_GETRICHTEXT(const char* form, int id, int rtf, char* buf, int size);
/* The most characters the rich text box (or text box) accepts. */
FK_API int FK_SETRICHTEXTLEN(const char* form, int id, int capacity);
#define FK_LEN_TEXT 0  /* current text length in characters */
#define FK_LEN_LIMIT 1 /* capacity set by FK_SETRICHTEXTLEN */
FK_API int FK_GETRICHTEXTLEN(const char* form, int id, int what);
/* Check box and radio button: 0/1. FK_GETCHECK also reads a track bar's or progress bar's
 * position, a tab control's page and a turtle picture's drawing result (see there). */
FK_API int FK_SETCHECK(const char* form, int id, int state);
FK_API int FK_GETCHECK(const char* form, int id);
FK_API int FK_SETPBAR(const char* form, int id, int position, int maximum);
FK_API int FK_SETTBAR(const char* form, int id, int position);
/* Colours of a control (id 0: the form's background); see FK_COLOR for the numbers. */
FK_API int FK_SETCOLOR(const char* form, int id, int foreground, int background);
FK_API int FK_SETFONT(const char* form, int id, int font);
/* List box: scrolls item pos into view (0: the last); tree view: the item pos; text and rich
 * text: caret to character pos (1-based; 0: the end) and into view. */
FK_API int FK_SCROLLTO(const char* form, int id, FK_ITEM pos);

/* ------------------------------------------------------------------------------------------
 * Lists (list boxes and combo boxes; FK_CLEAR, FK_DELETEITEM, FK_SELECTITEM and FK_GETITEMTEXT
 * also take tree views with FK_ITEM handles)
 * ---------------------------------------------------------------------------------------- */
/* Appends items separated by "|". */
FK_API int FK_ADDITEMS(const char* form, int id, const char* items);
/* Appends one item as it is ("|" included); returns its number (0 on failure). */
FK_API int FK_ADDLIST(const char* form, int id, const char* item);
/* Empties a list, combo box, tree view, text box or rich text box. */
FK_API int FK_CLEAR(const char* form, int id);
FK_API int FK_DELETEITEM(const char* form, int id, FK_ITEM item);
/* Single-selection list or combo box: state != 0 selects the item, item 0 clears the selection.
 * Multi-selection list: sets the item's state (item 0: all items). Tree view: selects the item.
 * Tab control: shows the page (as FK_SHOWPAGE). */
FK_API int FK_SELECTITEM(const char* form, int id, FK_ITEM item, int state);
/* The first item after `after` whose text equals text (ignoring case), or 0. */
FK_API int FK_FINDNEXT(const char* form, int id, int after, const char* text);
/* The first selected item after `after`, or 0. */
FK_API int FK_FINDNEXTSEL(const char* form, int id, int after);
/* The number of the last item, which is the item count (0 when empty). */
FK_API int FK_FINDLAST(const char* form, int id);
FK_API int FK_GETITEMTEXT(const char* form, int id, FK_ITEM item, char* buf, int size);

/* ------------------------------------------------------------------------------------------
 * Tree view
 * ---------------------------------------------------------------------------------------- */
/* Adds an item as the last child of parent (0: a top-level item); image and selected image are
 * indices into the tree's image list (-1: none). Returns the item, 0 on failure. */
FK_API FK_ITEM FK_ADDTVITEM(const char* form, int id, FK_ITEM parent, const char* text, int image,
                            int selected_image);
/* Changes an item; a NULL text or an image of -1 keeps the current one. */
FK_API int FK_SETTVITEM(const char* form, int id, FK_ITEM item, const char* text, int image,
                        int selected_image);
FK_API int FK_GETTVITEM(const char* form, int id, FK_ITEM item, char* buf, int size);
FK_API FK_ITEM FK_GETTVSEL(const char* form, int id);
/* The first child of item (item 0: the first top-level item). */
FK_API FK_ITEM FK_GETTVCHILD(const char* form, int id, FK_ITEM item);
/* The next sibling of item. */
FK_API FK_ITEM FK_GETTVNEXT(const char* form, int id, FK_ITEM item);
/* The first visible item, and the visible item after item (walks expanded trees in order). */
FK_API FK_ITEM FK_GETTVFIRSTV(const char* form, int id);
FK_API FK_ITEM FK_GETTVNEXTV(const char* form, int id, FK_ITEM item);
/* Expands / collapses an item; item 0: every top-level item. */
FK_API int FK_TVEXPAND(const char* form, int id, FK_ITEM item);
FK_API int FK_TVCOLLAPSE(const char* form, int id, FK_ITEM item);
/* Gives the tree the image list `list` (FK_DEFIMAGELIST). */
FK_API int FK_TVUSEIMAGELIST(const char* form, int id, int list);

/* ------------------------------------------------------------------------------------------
 * Layers and pages. Controls are created on the form's current layer (0 at first). Layer 0 is
 * always shown; of the other layers only the displayed one is (layer 1 until FK_DISPLAYLAYER).
 * ---------------------------------------------------------------------------------------- */
FK_API int FK_SETLAYER(const char* form, int layer);
FK_API int FK_DISPLAYLAYER(const char* form, int layer);
/* The displayed layer. */
FK_API int FK_GETLAYER(const char* form);
/* Shows page `page` of a tab control (and its layer when the pages are linked, "L"). */
FK_API int FK_SHOWPAGE(const char* form, int id, int page);

/* ------------------------------------------------------------------------------------------
 * Menus, accelerators, toolbars and status bars. Menu items and accelerators arrive as
 * FK_EV_CLICK with their id and value FK_VAL_MENU or FK_VAL_ACCEL; give them ids that no control
 * of the form uses.
 * ---------------------------------------------------------------------------------------- */
/* Gives the form an empty menu bar and makes it the current menu. */
FK_API int FK_DEFMAINMENU(const char* form);
/* Adds a drop-down menu ("&File") to the current menu, makes it current and returns its number
 * (1, 2, ...; 0 on failure). */
FK_API int FK_DEFSUBMENU(const char* form, const char* caption);
/* Makes menu `number` current again (0: the menu bar). */
FK_API int FK_SETSUBMENU(const char* form, int number);
#define FK_MI_CHECKED 1
#define FK_MI_DISABLED 2
#define FK_MI_DEFAULT 4
/* Adds an item to the current menu; caption "-" adds a separator (id ignored). A tab in the
 * caption separates the key text ("&Copy\tCtrl+C"). */
FK_API int FK_ADDMENUITEM(const char* form, int id, const char* caption, int flags);
/* Sets an item's state to flags, and its caption unless it is NULL. */
FK_API int FK_SETMENUITEM(const char* form, int id, const char* caption, int flags);
/* Shows a context menu of items "Open|-|Delete" at screen pixel x, y (negative: at the mouse) and
 * waits for the choice: returns the chosen item's position in the list (1..n), 0 when none. */
FK_API int FK_POPUPMENU(const char* form, const char* items, int x, int y);
/* An accelerator of the form, active while the keyboard focus is in the form or in a child
 * ("P") form inside it (the innermost form's accelerators are tried first): keys "Ctrl+Shift+F5",
 * "Alt+X", "Del" (modifiers Ctrl, Alt, Shift; keys A-Z, 0-9, F1-F24, Enter, Esc, Tab, Space, Back,
 * Del, Ins, Home, End, PgUp, PgDn, Up, Down, Left, Right). */
FK_API int FK_DEFACCEL(const char* form, int id, const char* keys);
/* Toolbar buttons by number (1..n). */
/* The screen position and size of a toolbar button, in character units (the form positions'
 * units: a form placed at x + w, y opens right beside the button). Fails for a hidden button. */
FK_API int FK_GETTBRECT(const char* form, int id, int button, double* x, double* y, double* w,
                        double* h);
FK_API int FK_ENABLETB(const char* form, int id, int button);
FK_API int FK_DISABLETB(const char* form, int id, int button);
FK_API int FK_HIDETB(const char* form, int id, int button, int hide);
/* Status bar parts: widths in character units separated by "|"; -1 for the last takes the rest. */
FK_API int FK_SETSBPARTS(const char* form, int id, const char* widths);
/* Text of part 1..n. */
FK_API int FK_SETSBTEXT(const char* form, int id, int part, const char* text);
/* The window of the form's (first) status bar. */
FK_API FK_HWND FK_STATUSBARHANDLE(const char* form);

/* ------------------------------------------------------------------------------------------
 * Drawing state, fonts and images
 *
 * Colour numbers: 0 black, 1 blue, 2 green, 3 cyan, 4 red, 5 magenta, 6 brown, 7 light grey,
 * 8 dark grey, 9 light blue, 10 light green, 11 light cyan, 12 light red, 13 light magenta,
 * 14 yellow, 15 white, 16 button face, 17 window, 18 status green, 19 window text, 20 status red,
 * 21 tooltip yellow, 22 grey text, 23 selection; FK_RGB(r, g, b) for any other colour;
 * FK_COLOR_DEFAULT for the system's choice; FK_COLOR_KEEP (FK_SETCOLOR) to leave one as it is.
 * ---------------------------------------------------------------------------------------- */
#define FK_COLOR_DEFAULT (-1)
#define FK_COLOR_KEEP (-2)
#define FK_RGB(r, g, b) (0x1000000 | ((r)&255) | (((g)&255) << 8) | (((b)&255) << 16))
/* The colour pair of the controls created next. */
FK_API int FK_COLOR(int foreground, int background);
/* Defines font number (1..255) from a face name, a size in points and letters B bold, I italic,
 * U underline, S strike-out. Font 0 is the default font and cannot be redefined. */
FK_API int FK_DEFFONT(int number, const char* face, int points, const char* props);
/* The font of the controls created next (0: the default font). */
FK_API int FK_USEFONT(int number);
/* Loads an icon image under a number (1..255), and its handle (HICON). */
FK_API int FK_LOADICON(int number, const char* image);
FK_API FK_HWND FK_ICONHANDLE(int number);
/* Loads an image into a picture, icon or image button. */
FK_API int FK_LOADPICTURE(const char* form, int id, const char* image);
/* Defines image list number (1..255) of images w x h pixels; FK_ADDIMAGE appends an icon or a
 * bitmap (a wider bitmap adds one image per w pixels) and returns the index of its first image,
 * -1 on failure. A list cannot be redefined while the run lasts (trees may be showing it). */
FK_API int FK_DEFIMAGELIST(int number, int w, int h);
FK_API int FK_ADDIMAGE(int number, const char* image);
/* Colour depth (4, 8, 16, 24 or 32 bits) of image lists and toolbars defined next; 32 at start. */
FK_API int FK_SETDEPTH(int bits);

/* ------------------------------------------------------------------------------------------
 * Units
 * ---------------------------------------------------------------------------------------- */
/* Character units to pixels, across and down. */
FK_API int FK_CHARX(double units);
FK_API int FK_CHARY(double units);
/* Pixels to character units: vertical 0 across, 1 down. */
FK_API double FK_SCALETOCHARSIZE(int pixels, int vertical);

/* ------------------------------------------------------------------------------------------
 * Timers and messages
 * ---------------------------------------------------------------------------------------- */
/* A timer of the form, delivered as FK_EV_TIMER with id timer_id every `milliseconds`; starting
 * a running timer restarts it. Timers end with their form. */
FK_API int FK_STARTTIMER(const char* form, int timer_id, int milliseconds);
FK_API int FK_STOPTIMER(const char* form, int timer_id);
/* SendMessage / PostMessage to a control (id 0: the form). FK_SENDMESSAGER passes text as a
 * UTF-16 string in lParam (for messages such as DTM_SETFORMATW or EM_REPLACESEL). */
FK_API FK_LRESULT FK_SENDMESSAGE(const char* form, int id, unsigned msg, FK_WPARAM wp,
                                 FK_LPARAM lp);
FK_API FK_LRESULT FK_SENDMESSAGER(const char* form, int id, unsigned msg, FK_WPARAM wp,
                                  const char* text);
FK_API int FK_POSTMESSAGE(const char* form, int id, unsigned msg, FK_WPARAM wp, FK_LPARAM lp);

/* ------------------------------------------------------------------------------------------
 * Files, clipboard, help
 * ---------------------------------------------------------------------------------------- */
#define FK_OF_MULTISELECT 1
/* The open-file dialog, owned by form (may be "" or NULL). filter: "Text Files|*.txt|All|*.*".
 * Returns the chosen path; with FK_OF_MULTISELECT, the folder and the chosen names separated by
 * "|" ("C:\dir|a.txt|b.txt", also for one name). Empty (0) when cancelled. */
FK_API int FK_OPENFILE(const char* form, const char* title, const char* filter, const char* folder,
                       int flags, char* buf, int size);
#define FK_SF_ASKREPLACE 1
/* The save-file dialog; default_ext ("txt") is added to names typed without one. An existing
 * file may be chosen without a question (the caller asks its own); with FK_SF_ASKREPLACE the
 * dialog asks before it accepts an existing file. */
FK_API int FK_SAVEFILE(const char* form, const char* title, const char* filter, const char* folder,
                       const char* default_name, const char* default_ext, int flags, char* buf,
                       int size);
/* The folder dialog; returns the chosen folder, empty when cancelled. */
FK_API int FK_BROWSEFOLDER(const char* form, const char* title, char* buf, int size);
/* The name part ("b.txt") and the folder part with its "\" ("C:\a\") of a path. */
FK_API int FK_GETFILETEXT(const char* path, char* buf, int size);
FK_API int FK_GETPATHTEXT(const char* path, char* buf, int size);
/* The running program's folder, ending in "\". */
FK_API int FK_GETAPPPATHNAME(char* buf, int size);
/* Lets files be dropped on the form (on 1 / off 0); see FK_EV_DROPFILES. */
FK_API int FK_SETDROPFILES(const char* form, int on);
/* The files of the form's last drop, full paths separated by "|". */
FK_API int FK_GETDROPLIST(const char* form, char* buf, int size);
/* The clipboard is opened with the toolkit's own window. While another program holds it open,
 * the calls try again for about a second, processing events meanwhile (FK_DOEVENTS: event
 * routines may run), then give up with the reason "the clipboard is in use by another program".
 * FK_GETCLIPBOARD: the clipboard's text (CF_UNICODETEXT), "" when it has none or cannot be
 * opened. */
FK_API int FK_GETCLIPBOARD(char* buf, int size);
#define FK_CB_SECRET 1
/* Empties the clipboard and puts the text on it as CF_UNICODETEXT; returns 1 when the clipboard
 * holds it, 0 when not (FK_GETLASTERROR says why; a clipboard that could not be opened is left
 * as it was). FK_CB_SECRET marks the text as private (decrypted text): the formats
 * "ExcludeClipboardContentFromMonitorProcessing", "CanIncludeInClipboardHistory" and
 * "CanUploadToCloudClipboard", each a DWORD 0, go with it, keeping it out of clipboard history,
 * cloud clipboard and monitors; when they cannot be added the clipboard is left empty and the
 * call fails. */
FK_API int FK_SETCLIPBOARDEX(const char* text, int flags);
/* FK_SETCLIPBOARDEX(text, 0). */
FK_API int FK_SETCLIPBOARD(const char* text);
#define FK_HELP_CONTENTS 0
#define FK_HELP_TOPIC 1
/* Opens the help file "LOCKQUILL.HLP" of the program's folder (or `file`, when not empty) at its
 * contents or at a topic number. Returns 0 without opening anything when the file is missing. */
FK_API int FK_WINHELP(const char* form, const char* file, int command, int topic);

#ifdef __cplusplus
} /* extern "C" */

/* C++ conveniences: the calls that return text, returning std::string. They leave no copy of
 * the text behind (a buffer that was too small is wiped before it is given back), so they may
 * read secrets; FK_GETSECRETTEXT and FK_GETSECRETCLIPBOARD fill the caller's own string (its
 * owning secret type) instead of returning a new one, wiping what it held first. */
#include <string>

namespace fk_detail {
inline void WipeString(std::string& s) {
  s.resize(s.capacity());
  volatile char* p = s.data();
  for (size_t i = 0; i < s.size(); ++i) p[i] = 0;
  s.clear();
}
template <typename F>
void ReadTextInto(F call, std::string& out) {
  WipeString(out);
  for (;;) {
    int n = call(nullptr, 0);  // the length
    if (n <= 0) return;
    out.resize(static_cast<size_t>(n) + 1);
    int m = call(out.data(), n + 1);
    if (m >= 0 && m <= n) {
      out.resize(static_cast<size_t>(m));  // shrinking keeps the buffer: nothing left behind
      return;
    }
    WipeString(out);  // the text grew meanwhile: ask again
  }
}
template <typename F>
std::string ReadText(F call) {
  std::string out;
  ReadTextInto(call, out);
  return out;
}
}  // namespace fk_detail

inline std::string FK_GETLASTERROR() {
  return fk_detail::ReadText([](char* b, int s) { return FK_GETLASTERROR(b, s); });
}
inline std::string FK_GETTEXT(const char* form, int id) {
  return fk_detail::ReadText([&](char* b, int s) { return FK_GETTEXT(form, id, b, s); });
}
inline void FK_GETSECRETTEXT(const char* form, int id, std::string& out) {
  fk_detail::ReadTextInto([&](char* b, int s) { return FK_GETTEXT(form, id, b, s); }, out);
}
inline std::string FK_GETRICHTEXT(const char* form, int id, int rtf = 0) {
  return fk_detail::ReadText([&](char* b, int s) { return FK_GETRICHTEXT(form, id, rtf, b, s); });
}
inline std::string FK_GETITEMTEXT(const char* form, int id, FK_ITEM item) {
  return fk_detail::ReadText([&](char* b, int s) { return FK_GETITEMTEXT(form, id, item, b, s); });
}
inline std::string FK_GETTVITEM(const char* form, int id, FK_ITEM item) {
  return fk_detail::ReadText([&](char* b, int s) { return FK_GETTVITEM(form, id, item, b, s); });
}
inline std::string FK_OPENFILE(const char* form, const char* title, const char* filter,
                               const char* folder, int flags = 0) {
  return fk_detail::ReadText(
      [&](char* b, int s) { return FK_OPENFILE(form, title, filter, folder, flags, b, s); });
}
inline std::string FK_SAVEFILE(const char* form, const char* title, const char* filter,
                               const char* folder, const char* default_name,
                               const char* default_ext, int flags = 0) {
  return fk_detail::ReadText([&](char* b, int s) {
    return FK_SAVEFILE(form, title, filter, folder, default_name, default_ext, flags, b, s);
  });
}
inline std::string FK_BROWSEFOLDER(const char* form, const char* title) {
  return fk_detail::ReadText([&](char* b, int s) { return FK_BROWSEFOLDER(form, title, b, s); });
}
inline std::string FK_GETFILETEXT(const char* path) {
  return fk_detail::ReadText([&](char* b, int s) { return FK_GETFILETEXT(path, b, s); });
}
inline std::string FK_GETPATHTEXT(const char* path) {
  return fk_detail::ReadText([&](char* b, int s) { return FK_GETPATHTEXT(path, b, s); });
}
inline std::string FK_GETAPPPATHNAME() {
  return fk_detail::ReadText([](char* b, int s) { return FK_GETAPPPATHNAME(b, s); });
}
inline std::string FK_GETDROPLIST(const char* form) {
  return fk_detail::ReadText([&](char* b, int s) { return FK_GETDROPLIST(form, b, s); });
}
inline std::string FK_GETCLIPBOARD() {
  return fk_detail::ReadText([](char* b, int s) { return FK_GETCLIPBOARD(b, s); });
}
inline void FK_GETSECRETCLIPBOARD(std::string& out) {
  fk_detail::ReadTextInto([](char* b, int s) { return FK_GETCLIPBOARD(b, s); }, out);
}
#endif /* __cplusplus */

#endif /* LOCKQUILL_FORMKIT_H */
