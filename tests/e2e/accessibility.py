#!/usr/bin/python3
# What a screen reader finds of the running program over AT-SPI: every
# control of the main window and of the two export dialogs, and the file
# list as a table (its size, headings, cells and selection), told of the
# focus row as the arrow keys move it. Run by accessibility.sh, which starts
# the program on a tree of known files under Xvfb with the accessibility
# bus; keys are sent with xdotool.
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

FILES = {'a.txt', 'b.txt', 'c.txt'}
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print('FAILED: ' + what)


def pump(seconds):
    end = time.time() + seconds
    context = GLib.main_context_default()
    while time.time() < end:
        while context.pending():
            context.iteration(False)
        time.sleep(0.02)


def wait_for(predicate, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        result = predicate()
        if result:
            return result
        pump(0.1)
    return None


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == 'norvane':
            return app
    return None


def descendants(accessible):
    """Every accessible below accessible, a table's cells left out."""
    found = []
    for i in range(accessible.childCount):
        child = accessible.getChildAtIndex(i)
        if child is None:
            continue
        found.append(child)
        if child.getRole() != pyatspi.ROLE_TABLE:
            found.extend(descendants(child))
    return found


def window(title):
    app = application()
    if app is None:
        return None
    for i in range(app.childCount):
        child = app.getChildAtIndex(i)
        if child is not None and child.name == title:
            return child
    return None


def controls(win):
    """(role name, name) of every control of a window."""
    return {(c.getRoleName(), c.name) for c in descendants(win)}


def key(*keys):
    for k in keys:
        subprocess.run(['xdotool', 'key', '--clearmodifiers', k], check=True)
        pump(0.3)


def check_main_window(main):
    found = controls(main)
    for role, name in [('push button', '終了'), ('push button', '選択行を出力(S)...'),
                       ('push button', '全行を出力(A)...'), ('push button', 'フォルダを選択(F)...'),
                       ('push button', 'リストを更新(R)'), ('check box', 'ﾌｫｰﾏｯﾄされたｻｲｽﾞ表示(D)'),
                       ('check box', 'サブフォルダを検索(B)'), ('check box', 'ｼｽﾃﾑﾌｧｲﾙ(Y)'),
                       ('check box', '隠しﾌｧｲﾙ(H)')]:
        check((role, name) in found, 'main window: %s %s' % (role, name))
    check(('combo box', 'フォルダ') in found, 'main window: the folder box named')
    check(('table', 'ファイル一覧') in found, 'main window: the list named')


def check_table(table):
    grid = table.queryTable()
    check(grid.nRows == len(FILES), 'table: %d rows' % grid.nRows)
    check(grid.nColumns == 8, 'table: %d columns' % grid.nColumns)
    headings = [grid.getColumnHeader(c).name for c in range(grid.nColumns)]
    check(headings == ['FileName', 'FileDate&Time', 'FileSize', 'Version', 'Expansion', 'Directory',
                       'SystemFile', 'Hidden'], 'table: headings %s' % headings)
    names = {grid.getAccessibleAt(r, 0).name for r in range(grid.nRows)}
    check(names == FILES, 'table: names %s' % names)
    sizes = {grid.getAccessibleAt(r, 0).name: grid.getAccessibleAt(r, 2).name for r in range(grid.nRows)}
    check(sizes.get('b.txt') == '300', 'table: size of b.txt %s' % sizes.get('b.txt'))
    check(grid.getAccessibleAt(0, 1).getRole() == pyatspi.ROLE_TABLE_CELL, 'table: a cell is a table cell')
    check(grid.addRowSelection(1) and grid.isRowSelected(1) and grid.nSelectedRows == 1, 'table: a row selected')
    check(grid.removeRowSelection(1) and grid.nSelectedRows == 0, 'table: the row unselected')


def check_focus_moves(main, table):
    """Tab into the list and Down: each focus row's cell is told."""
    told = []

    def on_event(event):
        if event.detail1 == 1 and event.source is not None:
            told.append((event.type, event.source.getRoleName(), event.source.name))

    events = ('object:state-changed:focused', 'object:state-changed:selected')
    pyatspi.Registry.registerEventListener(on_event, *events)
    grid = table.queryTable()
    first, second = grid.getAccessibleAt(0, 0).name, grid.getAccessibleAt(1, 0).name
    quit_button = next(c for c in descendants(main) if c.name == '終了')
    check(wait_for(lambda: quit_button.getState().contains(pyatspi.STATE_FOCUSED)), 'focus: 終了 first')
    key('Tab', 'Tab', 'Tab', 'Tab', 'Down')  # the list is the fifth tab stop

    def focused_cells():
        return [name for kind, role, name in told if kind.endswith('focused') and role == 'table cell']

    wait_for(lambda: focused_cells()[-2:] == [first, second] and
             ('object:state-changed:selected', 'table cell', second) in told, 10)
    pyatspi.Registry.deregisterEventListener(on_event, *events)
    check(focused_cells()[-2:] == [first, second],
          'focus: cells told %s, expected %s then %s' % (focused_cells(), first, second))
    check(('object:state-changed:selected', 'table cell', second) in told, 'selection: %s not told' % second)


def check_dialogs():
    key('alt+a')  # 全行を出力(A)...
    options = wait_for(lambda: window('列と出力形式を指定'))
    check(options is not None, 'the output options dialog')
    if options is None:
        return
    found = controls(options)
    for role, name in [('check box', 'FileName'), ('check box', 'FileDate&Time'), ('check box', 'FileSize'),
                       ('check box', 'Version'), ('check box', 'Expansion'), ('check box', 'Directory'),
                       ('radio button', 'TEXT(タブ区切り)で出力'), ('radio button', 'HTMLのテーブルで出力'),
                       ('radio button', 'csv形式(カンマ区切り)で出力'), ('radio button', 'ファイル名だけを出力'),
                       ('radio button', 'パスを付けて出力'), ('push button', '列のﾀｲﾄﾙ(L)...'),
                       ('check box', 'ファイル一覧の先頭にフォルダ名を出力(R)'), ('push button', 'OK'),
                       ('check box', 'ファイル名の前に文字列を付ける(P)'), ('push button', 'ｷｬﾝｾﾙ'),
                       ('check box', 'ファイル名の後ろに文字列をつける(C)')]:
        check((role, name) in found, 'options: %s %s' % (role, name))
    check(sum(1 for role, _ in found if role == 'text') == 2, 'options: the two texts')
    key('alt+l')  # 列のﾀｲﾄﾙ(L)...
    titles = wait_for(lambda: window('出力するﾃｰﾌﾞﾙのﾀｲﾄﾙ編集'))
    check(titles is not None, 'the column titles dialog')
    if titles is not None:
        found = controls(titles)
        for name in ['OK', 'ｷｬﾝｾﾙ', '色指定(B)...', '色指定(F)...', '設定を保存(S)', '初期値(R)']:
            check(('push button', name) in found, 'titles: push button %s' % name)
        texts = sorted(c.queryText().getText(0, -1) for c in descendants(titles) if c.getRoleName() == 'text')
        check(texts == sorted(['FileName', 'FileDate&Time', 'FileSize', 'Version', 'Expansion', 'Directory']),
              'titles: the six titles %s' % texts)
        key('Escape')
    key('Escape')


def check_menu():
    """The list's menu from the keyboard (the focus is on the list): a
    screen reader is told of the item the arrow keys move to, and finds the
    catalogue items beside it."""
    told = []

    def on_event(event):
        if event.detail1 == 1 and event.source is not None and event.source.getRole() == pyatspi.ROLE_MENU_ITEM:
            told.append(event.source)

    pyatspi.Registry.registerEventListener(on_event, 'object:state-changed:focused')
    key('Menu', 'Down')
    wait_for(lambda: told, 10)
    pyatspi.Registry.deregisterEventListener(on_event, 'object:state-changed:focused')
    check(bool(told), 'menu: no item told')
    items = set()
    if told and told[-1].parent is not None:
        items = {c.name for c in descendants(told[-1].parent) if c.getRole() == pyatspi.ROLE_MENU_ITEM}
    for name in ['コピー(C)', 'カタログを開く(O)...', 'カタログを保存(V)...', 'カタログと比較(M)...']:
        check(any(item.startswith(name) for item in items), 'menu: %s in %s' % (name, sorted(items)))
    key('Escape')


def main():
    main_window = wait_for(lambda: window('Norvane'))
    if main_window is None:
        print('FAILED: no window of the program on the accessibility bus')
        return 1
    table = wait_for(lambda: next((c for c in descendants(main_window) if c.getRole() == pyatspi.ROLE_TABLE
                                   and c.queryTable().nRows == len(FILES)), None))
    check(table is not None, 'the file list as a table of %d rows' % len(FILES))
    check_main_window(main_window)
    if table is not None:
        check_table(table)
        check_focus_moves(main_window, table)
        check_menu()
    check_dialogs()
    print('%d failures' % len(failures))
    return 1 if failures else 0


sys.exit(main())
