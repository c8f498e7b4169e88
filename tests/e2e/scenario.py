"""What a person does with the running program, checked as a person and a screen reader see it.

Started by run-e2e.sh with Debian's /usr/bin/python3 (it carries pyatspi) after the program is
running on a private display. Input goes through xdotool: typing into the boxes, clicks at the
positions of each window's layout (twips / 15 = pixels at 96 dpi, from the window's client origin)
and keys for the message boxes. What the windows show is read over the accessibility bus; what
was stored is read from dbData.mdb with the sqlite3 tool.
"""

import ctypes
import datetime
import glob
import os
import re
import subprocess
import sys
import time

import pyatspi

WORK = os.environ["TALLYCLOCK_E2E_WORK"]
SHOTS = os.environ["TALLYCLOCK_E2E_SHOTS"]
PROGRAM_PID = int(os.environ["TALLYCLOCK_E2E_PID"])
DATA_FOLDER = os.path.join(os.environ["TALLYCLOCK_COMMON_APPDATA"], "Quillmark", "Tallyclock Suite")
DATABASE = os.path.join(DATA_FOLDER, "dbData.mdb")

MAIN = "Tallyclock Suite"
APP_TITLE = "Tallyclock"

# Layout rectangles in twips (left, top, width, height) from the window's client origin; controls
# inside a frame add the frame's corner.
FORM1_FRAME1 = (120, 120)
FORM1_FRAME2 = (120, 2220)
FORM1 = {
    "Format": (6360, 255, 1185, 405, FORM1_FRAME1),
    "Time In": (240, 300, 1050, 255, FORM1_FRAME2),
    "Time Out": (1530, 300, 1185, 255, FORM1_FRAME2),
    "Person Number": (1770, 720, 5760, 345, FORM1_FRAME2),
    "Password": (1770, 1215, 5760, 345, FORM1_FRAME2),
    "Login": (240, 1710, 7305, 405, FORM1_FRAME2),
    "Persons": (120, 4590, 7800, 405, None),
    "Reports": (120, 5100, 7800, 405, None),
    "List": (120, 5610, 7800, 2430, None),
}
FORM3 = {
    "Person Number:": (1680, 120, 4560, 345, None),
    "Save": (120, 3870, 3000, 405, None),
}
FORM2 = {
    "Close": (4080, 4270, 3840, 405, None),
}
FORM4_FRAME1 = (120, 120)
FORM4 = {
    "View All": (240, 1260, 3600, 405, FORM4_FRAME1),
    "Close This Reports Window": (4080, 8190, 3840, 405, None),
    "Hours Worked": (120, 8700, 3840, 405, None),
    "Audit Trail": (5400, 9210, 2520, 405, None),
}
FORM5_FRAME2 = (120, 1140)
FORM5 = {
    "Military": (240, 600, 2415, 255, FORM5_FRAME2),
    "Save": (120, 2220, 1440, 405, None),
}

STEP_TIMEOUT = 10.0


class Failure(Exception):
    pass


def log(text):
    print("e2e:", text, flush=True)


def wait_for(what, probe, timeout=STEP_TIMEOUT):
    """Polls probe until it gives a true value and returns that; fails after timeout seconds."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = probe()
            if value:
                return value
        except Exception as error:  # the bus or a window may be between states
            last_error = error
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error})" if last_error else ""
            raise Failure(f"timed out waiting for {what}{detail}")
        time.sleep(0.1)


def check(condition, text):
    if not condition:
        raise Failure(text)


def run(args, timeout=10):
    return subprocess.run(args, check=True, capture_output=True, text=True, timeout=timeout).stdout


# ---- X side: windows, clicks, typing, screenshots ------------------------------------------------


def x_window(name):
    """The id of the visible top-level window with exactly this caption, or None."""
    result = subprocess.run(
        ["xdotool", "search", "--onlyvisible", "--name", "^" + re.escape(name) + "$"],
        capture_output=True, text=True, timeout=10)
    ids = result.stdout.split()
    return ids[-1] if ids else None


def wait_x_window(name):
    return wait_for(f'window "{name}"', lambda: x_window(name))


def wait_x_window_gone(name):
    wait_for(f'window "{name}" to close', lambda: x_window(name) is None)


def client_origin(window):
    shell = run(["xdotool", "getwindowgeometry", "--shell", window])
    values = dict(line.split("=", 1) for line in shell.split())
    return int(values["X"]), int(values["Y"])


def point_of(window, rect, x_twips=None):
    """Screen point of a control: its middle, or x_twips from its left edge (option buttons
    react on their round mark and caption only, not on the empty rest of their box)."""
    left, top, width, height, frame = rect
    if frame:
        left, top = left + frame[0], top + frame[1]
    x = left + (width / 2 if x_twips is None else x_twips)
    y = top + height / 2
    origin = client_origin(window)
    return origin[0] + round(x / 15), origin[1] + round(y / 15)


def click(window, rect, x_twips=None):
    x, y = point_of(window, rect, x_twips)
    run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"])


def type_text(text):
    run(["xdotool", "type", "--delay", "15", text])


def type_into(window, rect, text):
    click(window, rect)
    type_text(text)


def key(*names):
    run(["xdotool", "key", *names])


def icon_size(window):
    """The size of the first icon the window offers the window manager (_NET_WM_ICON), or None."""
    out = run(["xprop", "-id", window, "-f", "_NET_WM_ICON", "32c", " = $0, $1\n", "_NET_WM_ICON"])
    match = re.search(r"_NET_WM_ICON\(CARDINAL\) = (\d+), (\d+)", out)
    return (int(match.group(1)), int(match.group(2))) if match else None


def check_icon(window, name):
    size = icon_size(window)
    check(size is not None and size[0] > 0 and size[1] > 0, f'the window "{name}" shows no icon')


def request_close(window):
    """Asks a window to close (WM_DELETE_WINDOW), as a window manager's close button does."""
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

    class Event(ctypes.Union):
        _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

    display = x11.XOpenDisplay(None)
    check(display, "cannot open the X display")
    event = Event()
    event.xclient.type = 33  # ClientMessage
    event.xclient.window = int(window)
    event.xclient.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    x11.XSendEvent(display, int(window), 0, 0, ctypes.byref(event))
    x11.XCloseDisplay(display)  # flushes the request


def screenshot(window, name, folder=SHOTS):
    path = os.path.join(folder, name)
    run(["import", "-window", window, path], timeout=20)
    return path


def darkest(path, window_rect):
    """The darkest grey level (0 black .. 1 white) inside a rectangle (pixels) of a screenshot."""
    x, y, w, h = window_rect
    out = run(["convert", path, "-crop", f"{w}x{h}+{x}+{y}", "+repage", "-colorspace", "gray",
               "-format", "%[fx:minima]", "info:"], timeout=20)
    return float(out)


def first_list_row_pixels():
    """Where the first row of today's list is drawn in a screenshot of the main window: below the
    header line, the height of one text line, inside the list's borders."""
    left, top, width, _height, _ = FORM1["List"]
    return (round(left / 15) + 4, round(top / 15) + 24, round(width / 15) - 8, 16)


# ---- accessibility bus ----------------------------------------------------------------------


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == PROGRAM_PID:
            return app
    return None


def top_level(name, roles=None):
    app = application()
    if app is None:
        return None
    for window in app:
        if window is None or window.name != name:
            continue
        if roles and window.getRoleName() not in roles:
            continue
        if window.getState().contains(pyatspi.STATE_SHOWING):
            return window
    return None


def find(root, role, name=None):
    found = pyatspi.findDescendant(
        root, lambda a: a is not None and a.getRoleName() == role and (name is None or a.name == name))
    if found is None:
        raise Failure(f'no {role} "{name}" in {root.getRoleName()} "{root.name}"')
    return found


def text_of(accessible):
    return accessible.queryText().getText(0, -1)


def checked(accessible):
    return accessible.getState().contains(pyatspi.STATE_CHECKED)


def rows_of(table_accessible):
    table = table_accessible.queryTable()
    return [[table.getAccessibleAt(r, c).name for c in range(table.nColumns)] for r in range(table.nRows)]


def headers_of(table_accessible):
    table = table_accessible.queryTable()
    return [table.getColumnDescription(c) for c in range(table.nColumns)]


def dump(accessible, depth=0):
    """Prints what a screen reader finds in a window (TALLYCLOCK_E2E_DUMP=1), for looking into it."""
    if not os.environ.get("TALLYCLOCK_E2E_DUMP"):
        return
    print("e2e:", "  " * depth + f"{accessible.getRoleName()} {accessible.name!r}", flush=True)
    if accessible.getRoleName() != "tree":
        for child in accessible:
            if child is not None:
                dump(child, depth + 1)


def check_own_names(window):
    """Every control speaks a name of its own: none is nameless, and none borrows the title of the
    frame (panel) it sits in. The rows of a list are its data, not controls."""
    def walk(accessible, frame_title):
        for child in accessible:
            if child is None:
                continue
            role = child.getRoleName()
            name = child.name
            where = f'{role} in "{window.name}"'
            check(name != "", f"a {where} has no name")
            if role == "panel":
                walk(child, name)
                continue
            check(name != frame_title, f'a {where} is named after its frame "{frame_title}"')
            if role not in ("tree", "table"):
                walk(child, frame_title)
    walk(window, None)


def tab_walk(window_name, presses):
    """The names the focus visits on pressing Tab, starting where the focus is."""
    names = [focused_name(window_name)]
    for _ in range(presses):
        before = names[-1]
        key("Tab")
        try:
            names.append(wait_for("the focus to move", lambda: (lambda n: n if n != before else None)(
                focused_name(window_name)), timeout=2))
        except Failure:
            names.append(before)
    return names


def check_tab_order(window_name, expected):
    """Walks with Tab from where the focus is and compares the stops with the layout's order."""
    walk = tab_walk(window_name, len(expected) - 1)
    check(walk == expected, f'the tab order of "{window_name}" is {walk}, expected {expected}')


def focused_name(window_name):
    """The name of the control that has the keyboard focus. A list counts as one control: its
    current row keeps a focused state of its own while the focus is elsewhere."""
    pending = [top_level(window_name)]
    while pending:
        accessible = pending.pop(0)
        if accessible is None:
            continue
        if accessible.getState().contains(pyatspi.STATE_FOCUSED):
            return accessible.name
        if accessible.getRoleName() != "tree":
            pending.extend(accessible)
    return None


def labelled_by(accessible):
    for relation in accessible.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            return [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return []


def message_box_text():
    """Waits for the program's message box and gives what a screen reader reads from it."""
    box = wait_for("a message box", lambda: top_level(APP_TITLE, ("alert", "dialog")))
    labels = pyatspi.findAllDescendants(box, lambda a: a is not None and a.getRoleName() == "label")
    return "\n".join(label.name for label in labels if label.name)


def answer_ok(expected):
    """Reads the message box, checks its text and answers it with the keyboard."""
    text = message_box_text()
    check(text == expected, f"the message box says {text!r}, expected {expected!r}")
    check_icon(wait_x_window(APP_TITLE), APP_TITLE)
    key("Return")
    wait_for("the message box to close", lambda: top_level(APP_TITLE, ("alert", "dialog")) is None)
    return text


# ---- database ------------------------------------------------------------------------------


def sql(statement):
    out = run(["sqlite3", "-bail", "-separator", "|", DATABASE, statement])
    return [line.split("|") for line in out.splitlines()]


def settings_text():
    """The per-user settings file, as the program wrote it."""
    files = glob.glob(os.path.join(os.environ["XDG_CONFIG_HOME"], "**", "*.ini"), recursive=True)
    check(len(files) == 1, f"settings files: {files}")
    with open(files[0], encoding="utf-8") as file:
        return file.read()


def today_iso():
    return datetime.date.today().isoformat()


# ---- what the person does ------------------------------------------------------------------


def first_run():
    main = wait_x_window(MAIN)
    check_icon(main, MAIN)
    # A screen reader meets a window (a frame), not a panel.
    wait_for("the main window on the accessibility bus as a frame", lambda: top_level(MAIN, ("frame",)))
    check(os.path.isdir(DATA_FOLDER), "the data folder was not created")
    check(os.path.isfile(DATABASE), "the database was not put in place")
    check(sql("select count(*) from tblEmployees") == [["0"]], "a fresh database holds persons")
    check(sql("select count(*) from tblLogins") == [["0"]], "a fresh database holds records")

    window = top_level(MAIN)
    dump(window)
    check_own_names(window)
    click(main, FORM1["Person Number"])
    check_tab_order(MAIN, ["Person Number", "Password", "Login", "Create / Delete / Edit Logins", "Reports",
                           "Today's attendance", "Format", "Time In", "Person Number"])
    today_list = find(window, "tree", "Today's attendance")
    check(headers_of(today_list) == ["Person Number", "Name", "Department", "Position", "Date", "Login",
                                     "Logout", "Login Difference"],
          f"today's list has the headers {headers_of(today_list)}")
    check(rows_of(today_list) == [], "today's list is not empty on first run")
    check(find(window, "radio button", "Time In").getState().contains(pyatspi.STATE_CHECKED),
          '"Time In" is not selected at start')
    shot = screenshot(main, "first-run.png", WORK)
    check(darkest(shot, first_list_row_pixels()) > 0.9, "today's list draws a row on first run")
    log("first run: data folder, database and an empty list")
    return main


def create_first_administrator(main):
    """No administrator yet: the persons button leads to the editor preset to administrator."""
    click(main, FORM1["Persons"])
    answer_ok("The software must have at least 1 Admin employee.\n\nPlease add new one to prevent standard "
              "user from viewing Reports and Employee Lists.")

    editor = wait_x_window("Add Person")
    check_icon(editor, "Add Person")
    window = wait_for("the editor on the accessibility bus", lambda: top_level("Add Person", ("dialog",)))
    dump(window)
    check_own_names(window)
    check(checked(find(window, "radio button", "Administrator: Yes"))
          and not checked(find(window, "radio button", "Administrator: No")),
          'the editor does not open with "Yes" selected')
    # Typed as a person does: into the first box, then from box to box with Tab in the layout's order.
    person = [("Person Number:", "1001"), ("Password:", "s3cret"), ("Retype:", "s3cret"),
              ("Full Name:", "Ada Lovelace"), ("Department:", "Engineering"), ("Position:", "Analyst")]
    click(editor, FORM3["Person Number:"])
    for index, (label, value) in enumerate(person):
        if index:
            key("Tab")
        wait_for(f'the focus on "{label}"', lambda label=label: focused_name("Add Person") == label)
        type_text(value)
    check_tab_order("Add Person", ["Position:", "Badge:", "Administrator: Yes", "Save", "Cancel"])
    window = top_level("Add Person", ("dialog",))
    for label, value in person:
        role = "password text" if label in ("Password:", "Retype:") else "text"
        box = find(window, role, label)
        # A screen reader gets the typed text of a box, and only the length of a password.
        shown = box.queryText().characterCount if role == "password text" else text_of(box)
        check(shown == (len(value) if role == "password text" else value), f'"{label}" holds {shown!r}')
    click(editor, FORM3["Save"])
    wait_x_window_gone("Add Person")

    # Whatever happened in the editor, the persons window follows, listing the new administrator.
    persons = wait_x_window("Persons")
    check_icon(persons, "Persons")
    window = wait_for("the persons window on the accessibility bus", lambda: top_level("Persons", ("dialog",)))
    dump(window)
    check_own_names(window)
    check_tab_order("Persons", ["Persons", "Add", "Delete", "Update", "Close", "Persons"])
    listed = find(window, "tree", "Persons")
    check(headers_of(listed) == ["Person Number", "Name", "Department", "Position"],
          f"the persons list has the headers {headers_of(listed)}")
    check(rows_of(listed) == [["1001", "Ada Lovelace", "Engineering", "Analyst"]],
          f"the persons list shows {rows_of(listed)}")
    check(sql("select EmployeeNo,Name,Department,Position,IsAdmin from tblEmployees") ==
          [["1001", "Ada Lovelace", "Engineering", "Analyst", "1"]],
          f"stored persons: {sql('select * from tblEmployees')}")
    # What the sqlite3 tool shows of the password is a hash, nothing readable.
    stored_password = sql("select Password from tblEmployees")[0][0]
    check(stored_password.startswith("$argon2id$") and "s3cret" not in stored_password.lower(),
          f"the password is stored as {stored_password!r}")
    check(re.search(r"Is(%20| )First(%20| )Time\s*=\s*0", settings_text()), "\"Is First Time\" is not 0")
    screenshot(persons, "persons-window.png")
    click(persons, FORM2["Close"])
    wait_x_window_gone("Persons")
    log("first administrator created through the persons button, the editor and the persons window")


def punch(main, mode, number, password, by_accessibility=False):
    """A punch as a person makes it; the mode is chosen with the mouse, or with the option's own
    action over the accessibility bus, as a screen reader or a switch device chooses it."""
    if by_accessibility:
        find(top_level(MAIN), "radio button", mode).queryAction().doAction(0)
    else:
        click(main, FORM1[mode], x_twips=150)
    wait_for(f'"{mode}" selected', lambda: checked(find(top_level(MAIN), "radio button", mode)))
    type_into(main, FORM1["Person Number"], number)
    type_into(main, FORM1["Password"], password)
    # The punch button's caption follows the mode; a screen reader speaks it.
    caption = "Login" if mode == "Time In" else "Logout"
    wait_for(f'the button "{caption}"', lambda: find(top_level(MAIN), "push button", caption))
    click(main, FORM1["Login"])


def boxes_cleared():
    window = top_level(MAIN)
    return text_of(find(window, "text", "Person Number")) == "" and \
        find(window, "password text", "Password").queryText().characterCount == 0


def today_rows():
    return rows_of(find(top_level(MAIN), "tree", "Today's attendance"))


def punch_in_and_out(main):
    # A wrong password first: refused with the message, nothing written, both boxes cleared.
    punch(main, "Time In", "1001", "wrong")
    answer_ok("Invalid Person Number or Password. Please make sure that this login has been created "
              "with the 'Create' button.")
    wait_for("the boxes to be cleared", boxes_cleared)
    check(sql("select count(*) from tblLogins") == [["0"]], "a refused login wrote a record")

    punch(main, "Time In", "1001", "s3cret")
    record = wait_for("the punch-in record",
                      lambda: sql("select EmployeeNo,LogDate,TimeIn,TimeOut from tblLogins"))
    check(len(record) == 1, f"one punch in wrote {record}")
    number, log_date, time_in, time_out = record[0]
    check(number == "1001" and time_out == "", f"the punch-in record is {record[0]}")
    # The clock may have passed midnight between the punch and this look.
    check(log_date in (today_iso(), (datetime.date.today() - datetime.timedelta(days=1)).isoformat()),
          f"the punch-in record is dated {log_date}")
    check(re.fullmatch(r"\d\d:\d\d [AP]M", time_in), f"the punch-in time is {time_in!r}")
    rows = wait_for("today's list to show the punch", today_rows)
    check(rows[0][:4] == ["1001", "Ada Lovelace", "Engineering", "Analyst"] and rows[0][5] == time_in
          and rows[0][6] == "", f"today's list shows {rows}")
    wait_for("the boxes to be cleared", boxes_cleared)

    # Punching in twice is refused by name.
    punch(main, "Time In", "1001", "s3cret")
    answer_ok("Ada Lovelace already logged in.")
    check(len(sql("select * from tblLogins")) == 1, "a second punch in wrote a record")

    punch(main, "Time Out", "1001", "s3cret", by_accessibility=True)
    closed = wait_for("the punch-out", lambda: sql("select TimeOut from tblLogins where TimeOut is not null"))
    time_out = closed[0][0]
    check(re.fullmatch(r"\d\d:\d\d [AP]M", time_out), f"the punch-out time is {time_out!r}")
    rows = wait_for("today's list to show the punch-out", lambda: [r for r in today_rows() if r[6]])
    check(len(rows) == 1 and rows[0][5] == time_in and rows[0][6] == time_out and rows[0][7] != "",
          f"today's list shows {rows} after the punch-out")
    shot = screenshot(main, "main-window.png")
    check(darkest(shot, first_list_row_pixels()) < 0.5, "today's row is not drawn in the main window")
    log(f"punch in at {time_in} and out at {time_out}: stored and listed")


def report_rows():
    return rows_of(find(top_level("Reports"), "tree", "Results"))


def hours_worked(form4, person):
    click(form4, FORM4["Hours Worked"])
    hours = wait_x_window("Hours")
    window = wait_for("the hours window on the accessibility bus", lambda: top_level("Hours", ("dialog",)))
    dump(window)
    totals = find(window, "tree", "Hours per person")
    check(headers_of(totals) == ["Person Number", "Name", "Department", "Days worked", "Hours", "Hours (decimal)",
                                 "Open records", "Overnight records", "Long records"],
          f"the hours list has the headers {headers_of(totals)}")
    rows = wait_for("this week's hours", lambda: rows_of(totals) or None)
    check(len(rows) == 2 and rows[0][:3] == person[:3] and rows[1][0] == "Total",
          f"the hours list shows {rows}")
    screenshot(hours, "hours-window.png")
    key("Escape")
    wait_x_window_gone("Hours")


def audit_trail(form4, number):
    click(form4, FORM4["Audit Trail"])
    audit = wait_x_window("Audit Trail")
    window = wait_for("the audit window on the accessibility bus", lambda: top_level("Audit Trail", ("dialog",)))
    changes = find(window, "tree", "Changes")
    rows = wait_for("this week's changes", lambda: rows_of(changes) or None)
    # The first administrator added through the persons window, then punched in and out, then the hours
    # window read the rules, which took this user's long-record limit for the workplace: newest first,
    # each punch by the person who punched.
    check([row[2:5] for row in rows] == [[number, "pay rules changed", "-"], [number, "punch out", number],
                                         [number, "punch in", number], ["-", "person added", number]],
          f"the audit list shows {rows}")
    screenshot(audit, "audit-window.png")
    key("Escape")
    wait_x_window_gone("Audit Trail")


def reports(main):
    # The gate refuses a wrong password and leaves the typed texts where they are.
    type_into(main, FORM1["Person Number"], "1001")
    type_into(main, FORM1["Password"], "wrong")
    click(main, FORM1["Reports"])
    answer_ok("Invalid Person Number or Password. Please use Administrator login.")
    check(text_of(find(top_level(MAIN), "text", "Person Number")) == "1001",
          "the gate cleared the person number")
    check(x_window("Reports") is None, "the reports window opened for a wrong password")

    type_into(main, FORM1["Password"], "s3cret")
    click(main, FORM1["Reports"])
    form4 = wait_x_window("Reports")
    check_icon(form4, "Reports")
    window = wait_for("the reports window on the accessibility bus", lambda: top_level("Reports", ("dialog",)))
    record = sql("select EmployeeNo,TimeIn,TimeOut from tblLogins")[0]
    expected = ["1001", "Ada Lovelace", "Engineering", "Analyst"]
    dump(window)
    check_own_names(window)
    # The search field speaks its entry as its value and takes its name from its label.
    check(labelled_by(find(window, "combo box")) == ["Search by:"], "the search field is not labelled")
    check_tab_order("Reports", ["Date", "Search value:", "Search", "View All", "Clear Results", "Results",
                                "Save Results As Text", "Send Results To Excel", "Delete Selected Record (Above)",
                                "Close This Reports Window", "Hours Worked", "Save Results As Workbook",
                                "Correct Record", "Add Record",
                                "Audit Trail", "Date"])
    # It opens on today's records.
    check(text_of(find(window, "text", "Search value:")) != "", "the search value is empty at opening")
    results = find(window, "tree", "Results")
    rows = wait_for("today's records in the reports list", report_rows)
    check(len(rows) == 1 and rows[0][:4] == expected and rows[0][5:] == record[1:],
          f"the reports list shows {rows}, the database holds {record}")
    check(headers_of(results) == ["Person Number", "Name", "Department", "Position", "Date", "Login", "Logout"],
          f"the reports list has the headers {headers_of(results)}")
    click(form4, FORM4["View All"])
    rows = wait_for("every record in the reports list", report_rows)
    check(len(rows) == 1 and rows[0][:4] == expected, f"View All shows {rows}")
    screenshot(form4, "reports-window.png")
    hours_worked(form4, expected)
    audit_trail(form4, expected[0])
    # Closed the way a screen reader user does it: the button's action over the accessibility bus.
    find(top_level("Reports"), "push button", "Close This Reports Window").queryAction().doAction(0)
    wait_x_window_gone("Reports")
    # The next person at the screen finds nothing of the administrator's typed behind.
    wait_for("the gate clearing the typed texts", boxes_cleared)
    log("the reports window opened through the gate, listed the record and left nothing typed behind")


def change_time_format(main):
    """The Format window: read as a screen reader reads it, choose 24-hour time, Save."""
    click(main, FORM1["Format"])
    form5 = wait_x_window("Format")
    check_icon(form5, "Format")
    window = wait_for("the format window on the accessibility bus", lambda: top_level("Format", ("dialog",)))
    dump(window)
    check_own_names(window)
    # One stop per frame (the arrow keys move within it), then the buttons.
    check_tab_order("Format", ["mm/dd/yyyy", "Military", "Save", "Cancel", "mm/dd/yyyy"])
    for frame, options in (("Date Format", ("mm/dd/yyyy", "dd/mm/yyyy (European)")),
                           ("Time Format", ("AM/PM", "Military"))):
        panel = find(window, "panel", frame)
        check([checked(find(panel, "radio button", o)) for o in options] == [True, False],
              f'"{frame}" does not show the stored choice')
    click(form5, FORM5["Military"], x_twips=150)
    wait_for('"Military" selected', lambda: checked(find(top_level("Format"), "radio button", "Military")))
    click(form5, FORM5["Save"])
    wait_x_window_gone("Format")
    stored = settings_text()
    check(re.search(r"Option4\s*=\s*True", stored) and re.search(r"Option3\s*=\s*False", stored),
          f"the settings hold {stored!r}")
    clock = wait_for("the clock in 24-hour form", lambda: [
        label.name for label in pyatspi.findAllDescendants(
            top_level(MAIN), lambda a: a is not None and a.getRoleName() == "label")
        if re.fullmatch(r"\d\d:\d\d", label.name)], timeout=5)
    log(f"format window: 24-hour time stored, the clock shows {clock[0]}")


def close_program(main):
    """Closing the main window ends the program (run-e2e.sh checks its exit status)."""
    request_close(main)

    def gone():
        try:
            os.kill(PROGRAM_PID, 0)
        except ProcessLookupError:
            return True
        # A process that has ended but is not yet reaped by run-e2e.sh counts as gone.
        with open(f"/proc/{PROGRAM_PID}/stat", encoding="ascii") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] == "Z"
    wait_for("the program to end after its window closed", gone)
    log("closing the main window ended the program")


def main():
    started = time.monotonic()
    window = first_run()
    create_first_administrator(window)
    punch_in_and_out(window)
    reports(window)
    change_time_format(window)
    close_program(window)
    log(f"passed in {time.monotonic() - started:.1f} s")


if __name__ == "__main__":
    try:
        main()
    except Failure as failure:
        print(f"e2e: FAILED: {failure}", file=sys.stderr, flush=True)
        sys.exit(1)
