#!/usr/bin/python3
"""Prints what a screen reader finds in a running Corvane panel through AT-SPI: every showing
interactive item with its role and name, and how many of them have a name.

Run Corvane with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 on the same session bus, for example:
  dbus-run-session -- sh -c 'QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 corvane & sleep 3; scripts/atspi-names.py'
With --register EMAIL PASSWORD it also registers through the panel's own controls, as a screen
reader user would, and then lists the dashboard."""
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
    return items


def press(items, name):
    item = next(item for item in items if item.name == name)
    item.queryAction().doAction(0)
    time.sleep(0.8)


def main():
    items = report('sign-in')
    if '--register' not in sys.argv:
        return
    email, password = sys.argv[sys.argv.index('--register') + 1:][:2]
    press(items, 'Register')
    items = report('register')
    fields = [item for item in items if item.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_PASSWORD_TEXT, pyatspi.ROLE_ENTRY)]
    for field, text in zip(fields, (email, password)):
        field.queryEditableText().setTextContents(text)
    press(items, 'Create Account')
    time.sleep(2)
    report('dashboard')


if __name__ == '__main__':
    main()
