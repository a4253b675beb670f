#!/usr/bin/python3
"""Prints what a screen reader finds in a running Corvane panel through AT-SPI: every showing
interactive item with its role and name, and how many of them have a name. Each argument names a
button to press afterwards (focus, then Space), before the next screen is reported.

Run Corvane with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 on the same session bus, for example:
  xvfb-run -a dbus-run-session -- sh -c '/usr/libexec/at-spi-bus-launcher --launch-immediately &
      QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 corvane & sleep 5; scripts/atspi-names.py; kill $!'"""
import sys
import time

import pyatspi

INTERACTIVE = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON,
    pyatspi.ROLE_TEXT, pyatspi.ROLE_PASSWORD_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_LINK,
    pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_COMBO_BOX,
}


def corvane():
    for _ in range(50):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name.lower().startswith('corvane'):
                return app
        time.sleep(0.2)
    sys.exit('no Corvane on the accessibility bus')


def showing(node):
    states = node.getState()
    return states.contains(pyatspi.STATE_SHOWING) or states.contains(pyatspi.STATE_VISIBLE)


def interactive_items(node, found):
    if node is None or not showing(node):
        return found
    if node.getRole() in INTERACTIVE:
        found.append(node)
    for index in range(min(node.childCount, 500)):
        interactive_items(node.getChildAtIndex(index), found)
    return found


def report(screen):
    items = interactive_items(corvane(), [])
    named = [item for item in items if item.name.strip()]
    for item in items:
        print(f'  {item.getRoleName():14} {item.name!r}')
    print(f'{screen}: {len(named)} of {len(items)} interactive items named')


def press(name):
    items = [item for item in interactive_items(corvane(), []) if item.name == name]
    if not items:
        sys.exit(f'no button named {name!r}')
    # Qt 6.4's buttons ignore the AT-SPI press action; focus and Space work as for a keyboard user.
    items[0].queryComponent().grabFocus()
    time.sleep(0.5)
    pyatspi.Registry.generateKeyboardEvent(0x20, None, pyatspi.KEY_SYM)
    time.sleep(1.5)


def main():
    report('panel')
    for name in sys.argv[1:]:
        press(name)
        report(f'after {name!r}')


if __name__ == '__main__':
    main()
