pragma Singleton
import QtQuick

// The one map from the symbol names the views use to glyphs of the Material Icons font.
QtObject {
    readonly property string fontFamily: loader.name

    readonly property var glyphs: ({
        "arrow.down.circle.fill": "\uf181",          // arrow_circle_down
        "arrow.down.right.and.arrow.up.left": "\uf1cf", // close_fullscreen
        "arrow.triangle.2.circlepath": "\ue627",     // sync
        "arrow.up.left.and.arrow.down.right": "\uf1ce", // open_in_full
        "bookmark": "\ue867",                        // bookmark_border
        "checkmark": "\ue5ca",                       // check
        "checkmark.circle": "\ue92d",                // check_circle_outline
        "checkmark.shield.fill": "\ue8e8",           // verified_user
        "doc.on.doc": "\ue14d",                      // content_copy
        "ellipsis": "\ue5d3",                        // more_horiz
        "envelope": "\ue0e1",                        // mail_outline
        "envelope.fill": "\ue158",                   // mail
        "eye": "\ue8f4",                             // visibility
        "eye.slash": "\ue8f5",                       // visibility_off
        "gearshape.fill": "\ue8b8",                  // settings
        "hand.raised.fill": "\ue925",                // pan_tool
        "link": "\ue157",                            // link
        "link.badge.plus": "\ue178",                 // add_link
        "lock": "\ue899",                            // lock_outline
        "lock.shield.fill": "\ue32a",                // security
        "magnifyingglass": "\ue8b6",                 // search
        "number": "\ue9ef",                          // tag
        "pencil": "\ue3c9",                          // edit
        "pin": "\uf10d",                             // push_pin
        "pin.fill": "\uf10d",                        // push_pin
        "pin.slash": "\uf10d",                       // push_pin, struck through
        "plus": "\ue145",                            // add
        "rectangle.portrait.and.arrow.right": "\ue9ba", // logout
        "square.and.arrow.up": "\ue6b8",             // ios_share
        "trash": "\ue872",                           // delete
        "xmark": "\ue5cd",                           // close
        "xmark.circle.fill": "\ue5c9"                // cancel
    })

    // Symbols the font has no crossed-out form of; the icon strikes the plain glyph through.
    readonly property var struckThrough: ["pin.slash"]

    function glyph(name) {
        return glyphs[name] ?? ""
    }

    function isStruckThrough(name) {
        return struckThrough.indexOf(name) >= 0
    }

    property FontLoader loader: FontLoader {
        source: "fonts/MaterialIcons-Regular.ttf"
    }
}
