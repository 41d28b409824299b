#!/usr/bin/env python3
"""Turns the station's script-mode JSON lines (standard input) into one readable line each:
the input, the message panel's text and colour, the day's count and the ticket's done/total."""
import json
import sys

# The colours the station paints its message panels with, by name.
COLOURS = {
    "#008000": "green", "#ff0000": "red", "#0000ff": "blue", "#000000": "black", "#ffffff": "white",
    "#800000": "maroon", "#000080": "navy", "#808000": "olive", "#800080": "purple", "#008080": "teal",
    "#808080": "gray", "#c0c0c0": "silver", "#00ff00": "lime", "#ffff00": "yellow", "#ff00ff": "fuchsia",
    "#00ffff": "aqua", "#ffa500": "orange", "#efefef": "light gray",
}

MAIN_WINDOW_GRIDS = {"dbgProducaoHora", "dbcgUltEnt"}


def colour_name(value):
    if not value:
        return "-"
    return COLOURS.get(value.lower(), value)


def describe(state):
    texts = state.get("texts", {})
    colours = state.get("colors", {})
    window = state.get("window")
    what = "start-up" if state.get("input") is None else state["input"]
    if what.startswith("<datagram>"):
        what = "<datagram>"  # the feed's payload is in the side panel, not the message
    if window in (None, "frmQuilbar"):
        message = texts.get("pnMens", "")
        line = (f"{what:<12} | {message!s:<60} | {colour_name(colours.get('pnMens')):<6} | "
                f"day {texts.get('pnQtParesDia', '-'):>5} | done {texts.get('edTotEtiq', '-')}")
    else:
        # A popup of the enquiry (or another dialog) is the active window.
        message = texts.get("pnMsgConsulta", "")
        # The main window's own grids stay behind the popup; only the popup's are shown.
        rows = "; ".join(" ".join(cell for cell in row if cell)
                         for name, grid in state.get("grids", {}).items()
                         if name not in MAIN_WINDOW_GRIDS for row in grid)
        line = f"{what:<12} | [{window}] {message} {colour_name(colours.get('pnMsgConsulta'))}"
        if rows:
            line += f" | {rows}"
    for box in state.get("boxes", []):
        line += f"\n{'':<12}   box {box.get('title', '')}: {box.get('text', '')}"
    return line


def main():
    for raw in sys.stdin:
        raw = raw.strip()
        if not raw:
            continue
        try:
            state = json.loads(raw)
        except json.JSONDecodeError:
            print(raw)
            continue
        if str(state.get("input") or "").startswith("<screenshot>"):
            continue
        print(describe(state), flush=True)


if __name__ == "__main__":
    main()
