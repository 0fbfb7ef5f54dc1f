#!/usr/bin/env python3
"""Writes the sample construct files (*.vmcon) and firmware images (*.ebl) of the simulated
modules into data/. Run from the repository root: python3 sim/tools/make_samples.py

Construct file entries follow the layout the loader walks: "[group/name]type;" then, as the
entry needs, "Combo_list= ...;", "Value_list= ...;", "Range_min= ...;", "Range_max= ...;",
then "description=<...>;" and "command= AT...;". The value of a keyed field starts two
characters after its "=", so every "=" is followed by one space. Descriptions hold no ";",
no "<" or ">", and none of the keywords the loader looks for. A description ends with
"Default: <value>", which the simulated module takes as the factory default.

Firmware images: a 256-byte header (see sim/FirmwareImage.h) and a pseudo-random payload.
"""
import os
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "data")

# (group, name, type, choices, values, range, description, command, since)
# since: first firmware version that has the parameter.
P = []


def add(group, name, typ, desc, cmd, choices=None, values=None, rng=None, since="v1.0.2", only=None):
    P.append(dict(group=group, name=name, type=typ, choices=choices, values=values, rng=rng,
                  desc=desc, cmd=cmd, since=since, only=only))


G = "Device Information"
add(G, "Product Name", "Get", "Model name of the module.", "AT+PRODUCTNAME")
add(G, "Firmware Version", "Get", "Version of the application firmware.", "AT+VERSION")
add(G, "EUI Address", "Get", "Unique 64-bit IEEE address of the radio.", "AT+LONGADDR")
add(G, "Node Type", "Get", "Role in the network: 0 coordinator, 1 router, 2 end device, 3 mobile end device, 4 sleepy end device.", "AT+NODETYPE")
add(G, "Node Name", "String(16)", "Free name shown in network scans, up to 16 characters.", "AT+NODENAME")
add(G, "Hardware Revision", "Get", "Revision of the circuit board. Default: B2", "AT+HWREV")
add(G, "Serial Number", "Get", "Serial number from production. Default: VS-004711", "AT+SERIAL")

G = "Serial Port"
add(G, "Baud Rate", "10", "Line rate of the serial port. Default: 9600", "ATS12",
    choices="9600:19200:38400:57600:115200", values="9600:19200:38400:57600:115200")
add(G, "Flow Control", "10", "Handshake on the serial line.", "AT+UF",
    choices="None:Software:Hardware", values="0:1:2")
add(G, "Parity", "10", "Parity bit of each character. Default: 0", "ATS13", choices="None:Even:Odd")
add(G, "Stop Bits", "10", "Number of stop bits. Default: 1", "ATS14", choices="1:2", values="1:2")
add(G, "Character Timeout", "10", "Pause in milliseconds that ends a data packet. Default: 10", "ATS15", rng=("1", "255"))
add(G, "Echo at Power-up", "10", "Whether commands are echoed after a restart. Default: 1", "ATS16",
    choices="Off:On", values="0:1")

G = "Network Settings"
add(G, "PAN ID", "16(4)", "Personal area network identifier in hexadecimal. Default: 1A2B", "AT+PANID", rng=("0001", "FFFE"))
add(G, "Extended PAN ID", "16(16)", "64-bit network identifier, 0 picks one at random. Default: 0000000000000000", "AT+EPANID")
add(G, "Channel", "10", "Radio channel of the 2.4 GHz band. Default: 15", "AT+CHANNEL", rng=("11", "26"))
add(G, "Channel Mask", "16(8)", "Channels tried when joining, one bit per channel. Default: 07FFF800", "ATS00", rng=("00000800", "07FFF800"))
add(G, "Join Mode", "10", "How the module joins a network at power-up. Default: A", "AT+JOINMODE",
    choices="Automatic:Manual:Disabled", values="A:M:D")
add(G, "Max Hops", "10", "Largest number of hops a message may travel. Default: 10", "ATS04", rng=("1", "30"))
add(G, "Network Name", "String(10)", "Short name of the network, up to 10 characters. Default: HOMENET", "AT+NETNAME")
add(G, "Permit Join Time", "10", "Seconds during which new nodes may join after power-up. Default: 60", "ATS05", rng=("0", "254"))
add(G, "Short Address", "Get", "16-bit network address given by the parent. Default: 0000", "AT+SHORTADDR")

G = "Radio Settings"
add(G, "Transmit Power", "10", "Output power in dBm. Default: 3", "ATS01", rng=("-20", "8"))
add(G, "Antenna Select", "10", "Antenna used for sending and receiving. Default: 0", "ATS02",
    choices="Internal:External", values="0:1", since="v1.1.0", only=("KA40", "KD40"))
add(G, "Sensitivity Boost", "10", "Higher receiver gain at the cost of current. Default: 0", "ATS03", choices="Off:On")
add(G, "Link Quality Threshold", "10", "Weakest link quality still used for routes. Default: 100", "ATS06", rng=("0", "255"))
add(G, "Retry Count", "10", "Repeats of an unacknowledged frame. Default: 3", "ATS07", rng=("0", "7"))
add(G, "Clear Channel Threshold", "16(2)", "Energy level in hexadecimal above which the channel counts as busy. Default: 4B", "ATS08", rng=("00", "FF"))

G = "Power Management"
add(G, "Sleep Mode", "10", "When a sleepy end device may sleep. Default: 0", "ATS20",
    choices="Disabled:Timed:Pin controlled", values="0:1:2")
add(G, "Sleep Period", "10", "Milliseconds of sleep between polls. Default: 5000", "ATS21", rng=("1", "65535"))
add(G, "Poll Interval", "10", "Milliseconds between polls of the parent while awake. Default: 1000", "ATS22", rng=("100", "60000"))
add(G, "Wake Pin Mode", "10", "Edge of the wake pin that ends sleep. Default: F", "ATS23",
    choices="Rising:Falling:Both", values="R:F:B", since="v1.1.0")
add(G, "Low Battery Threshold", "10", "Supply in millivolts below which a warning is sent. Default: 2200", "ATS24", rng=("1800", "3600"))
add(G, "Supply Voltage", "Get", "Measured supply in millivolts. Default: 3300", "AT+VCC")

G = "Security Settings"
add(G, "Security Mode", "10", "Encryption of network traffic. Default: 1", "ATS30",
    choices="Off:Standard:High", values="0:1:2")
add(G, "Network Key", "16(32)", "128-bit network key in hexadecimal. Default: 00000000000000000000000000000000", "AT+NWKKEY")
add(G, "Link Key", "16(32)", "128-bit link key used while joining. Default: 7B3F91C2A4D05E68F1B2C3D4E5F60718", "AT+LINKKEY")
add(G, "Trust Center Address", "16(16)", "EUI address of the trust center, 0 for the coordinator. Default: 0000000000000000", "AT+TCADDR")
add(G, "Key Sequence Number", "Get", "Number of the active network key. Default: 0", "AT+KEYSEQ")
add(G, "Encrypted Join Only", "10", "Refuse nodes that join without encryption. Default: 1", "ATS31",
    choices="No:Yes", values="0:1")
add(G, "Password", "String(8)", "Password for remote configuration, up to 8 characters. Default: vireo01", "AT+PASSWD", since="v1.1.0")

G = "Inputs and Outputs"
add(G, "Digital Pin 1", "10", "Function of pin 1. Default: 0", "ATS40",
    choices="Input:Output low:Output high:Analog input", values="0:1:2:3")
add(G, "Digital Pin 2", "10", "Function of pin 2. Default: 0", "ATS41",
    choices="Input:Output low:Output high:Analog input", values="0:1:2:3", only=("KA40", "KM40X"))
add(G, "Pull-up Mask", "16(4)", "Pins with pull-up resistors, one bit per pin. Default: 00FF", "ATS42", rng=("0000", "00FF"))
add(G, "Analog Sample Period", "10", "Seconds between analog samples, 0 for never. Default: 0", "ATS43", rng=("0", "3600"),
    only=("KA40", "KD40"))
add(G, "LED Mode", "10", "What the status light shows. Default: 1", "ATS44", choices="Off:Network:Activity")

G = "Application"
add(G, "Data Mode at Power-up", "10", "Start in transparent data mode. Default: 0", "ATS50", choices="Off:On", values="0:1")
add(G, "Destination Address", "16(16)", "EUI address that data mode sends to, 0 for the coordinator. Default: 0000000000000000", "AT+DEST")
add(G, "Message Prefix", "String", "Text put in front of every received data packet. Default: ", "AT+PREFIX")
add(G, "Status Report Interval", "10", "Seconds between status reports, 0 for never. Default: 0", "ATS52",
    rng=("0", "86400"), since="v1.1.0")

PRODUCTS = ["KA40", "KD40", "KM40X"]
VERSIONS = ["v1.0.2", "v1.1.0"]


def version_key(v):
    return tuple(int(x) for x in v[1:].split("."))


def entry_text(p):
    lines = ["[%s/%s]%s;" % (p["group"], p["name"], p["type"])]
    if p["choices"]:
        lines.append("Combo_list= %s;" % p["choices"])
        if p["values"]:
            lines.append("Value_list= %s;" % p["values"])
    if p["rng"]:
        lines.append("Range_min= %s;" % p["rng"][0])
        lines.append("Range_max= %s;" % p["rng"][1])
    lines.append("description=<%s>;" % p["desc"])
    lines.append("command= %s;" % p["cmd"])
    return "\r\n".join(lines) + "\r\n\r\n"


def check(p):
    for field in ("group", "name", "desc"):
        for bad in ";<>[]":
            assert bad not in p[field], (p["name"], field, bad)
    for kw in ("Range", "Combo_list", "Value_list"):
        assert kw not in p["desc"], p["name"]
    assert "/" not in p["group"] and "]" not in p["name"]
    assert "OK" not in p["desc"] and "ERROR" not in p["desc"]
    if p["choices"] and p["values"]:
        assert len(p["choices"].split(":")) == len(p["values"].split(":")), p["name"]


def write_construct(product, version):
    params = [p for p in P if version_key(version) >= version_key(p["since"])
              and (p["only"] is None or product in p["only"])]
    text = "Construct file of the %s module, firmware %s. Vireo Manager sample data.\r\n\r\n" % (product, version)
    for p in params:
        check(p)
        text += entry_text(p)
    name = "%s_%s.vmcon" % (product, version)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(text.encode("ascii"))
    groups = []
    for p in params:
        if p["group"] not in groups:
            groups.append(p["group"])
    assert len(params) >= 40 and len(groups) >= 6, (name, len(params), len(groups))
    return name, len(params), len(groups)


def payload(seed, size):
    out = bytearray()
    x = seed & 0xFFFFFFFF
    while len(out) < size:
        x = (x * 1664525 + 1013904223) & 0xFFFFFFFF
        out.append(x >> 24)
    return bytes(out)


def image(model, version, body):
    header = ("VIREO-FW 1\nmodel=%s\nversion=%s\nsize=%d\ncrc32=%08X\n"
              % (model, version, len(body), zlib.crc32(body) & 0xFFFFFFFF)).encode("ascii")
    return header.ljust(256, b"\0") + body


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def main():
    for product in PRODUCTS:
        for version in VERSIONS:
            print("%s: %d parameters in %d groups" % write_construct(product, version))
    sizes = {"KA40": 20480, "KD40": 16384, "KM40X": 12288}
    for i, product in enumerate(PRODUCTS):
        for j, version in enumerate(VERSIONS + ["v1.2.0"]):
            body = payload(1000 * i + j + 1, sizes[product] + 2048 * j)
            write("%s_%s.ebl" % (product, version), image(product, version, body))
    good = image("KA40", "v1.2.0", payload(77, 22528))
    corrupt = bytearray(good)
    corrupt[256 + 5000] ^= 0x5A
    write("KA40_v1.2.0_corrupt.ebl", bytes(corrupt))
    write("KA40_v1.2.0_truncated.ebl", good[: len(good) // 2])
    # Names the model for a tool that searches the head of the file, but has no valid header.
    write("KA40_no_header.ebl", b"KA40 firmware draft, not for release\n" + payload(99, 8192))


if __name__ == "__main__":
    main()
