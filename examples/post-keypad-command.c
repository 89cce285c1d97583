/* Posts a command to a running QuillboardLED, as another program does: the LED off (4),
 * on (5) or flashing (6).
 *
 *     cc -o post-keypad-command examples/post-keypad-command.c -lxcb
 *     ./post-keypad-command 5
 */
#include <xcb/xcb.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char Title[] = "Varnholt QuillboardLED";
static const char MessageType[] = "_QUILLBOARD_POSTED_MESSAGE";

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s 4|5|6\n", argv[0]);
        return 64;
    }
    xcb_connection_t *c = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(c)) {
        fprintf(stderr, "cannot open the X display\n");
        return 1;
    }
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;

    /* The utility's windows are never shown, so they stay children of the root; the topmost
     * one with the title is taken. */
    xcb_window_t target = 0;
    xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), NULL);
    xcb_window_t *children = tree ? xcb_query_tree_children(tree) : NULL;
    for (int i = tree ? xcb_query_tree_children_length(tree) - 1 : -1; i >= 0 && !target; --i) {
        xcb_get_property_reply_t *name = xcb_get_property_reply(
            c, xcb_get_property(c, 0, children[i], XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 0, sizeof Title), NULL);
        if (name && xcb_get_property_value_length(name) == (int)strlen(Title) &&
            memcmp(xcb_get_property_value(name), Title, strlen(Title)) == 0)
            target = children[i];
        free(name);
    }
    free(tree);
    if (!target) {
        fprintf(stderr, "QuillboardLED is not running\n");
        xcb_disconnect(c);
        return 1;
    }

    xcb_intern_atom_reply_t *type =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, strlen(MessageType), MessageType), NULL);
    xcb_client_message_event_t ev;
    memset(&ev, 0, sizeof ev);
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = target;
    ev.type = type ? type->atom : XCB_ATOM_NONE;
    ev.data.data32[0] = 0x8591;                         /* WM_KEYPADCOMMAND */
    ev.data.data32[1] = 0xE4;                           /* wParam: the command's first byte */
    ev.data.data32[2] = strtoul(argv[1], NULL, 0);      /* lParam: 4, 5 or 6 */
    free(type);

    /* Checked: the reply means the server holds the event before we disconnect. */
    xcb_generic_error_t *error = xcb_request_check(
        c, xcb_send_event_checked(c, 0, target, XCB_EVENT_MASK_NO_EVENT, (const char *)&ev));
    int status = error ? 1 : 0;
    free(error);
    xcb_disconnect(c);
    return status;
}
