# Reads an .xlsx as any reader must: the zip, the sheet XML, the shared strings and the styles.
# Prints {"sheets": [names], "cells": {"Sheet!A1": [type, value, number format]}}.
import json, re, sys, zipfile
import xml.etree.ElementTree as ET
ns = {"m": "http://schemas.openxmlformats.org/spreadsheetml/2006/main"}
z = zipfile.ZipFile(sys.argv[1])
strings = [si.findtext(".//m:t", default="", namespaces=ns)
           for si in ET.fromstring(z.read("xl/sharedStrings.xml")).findall("m:si", ns)]
styles = ET.fromstring(z.read("xl/styles.xml"))
formats = {n.get("numFmtId"): n.get("formatCode") for n in styles.findall("m:numFmts/m:numFmt", ns)}
builtin = {"0": "General", "1": "0", "2": "0.00", "14": "mm-dd-yy", "20": "h:mm", "46": "[h]:mm:ss"}
xfs = [formats.get(x.get("numFmtId"), builtin.get(x.get("numFmtId"), x.get("numFmtId")))
       for x in styles.findall("m:cellXfs/m:xf", ns)]
names = [s.get("name") for s in ET.fromstring(z.read("xl/workbook.xml")).findall("m:sheets/m:sheet", ns)]
cells = {}
for i, name in enumerate(names):
    sheet = ET.fromstring(z.read("xl/worksheets/sheet%d.xml" % (i + 1)))
    for c in sheet.iter("{%s}c" % ns["m"]):
        t = c.get("t", "n")
        v = c.findtext("m:v", default="", namespaces=ns)
        if t == "s":
            v = strings[int(v)]
        cells["%s!%s" % (name, c.get("r"))] = [t, v, xfs[int(c.get("s", "0"))]]
print(json.dumps({"sheets": names, "cells": cells}))
