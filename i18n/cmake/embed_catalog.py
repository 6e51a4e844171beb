"""Turns compiled catalogs into C++ definitions for the catalog table.

    python3 embed_catalog.py --dictionary en.mo catalog_dictionary.inc catalog_dictionary
    python3 embed_catalog.py de.mo en.mo catalog_de.inc catalog_de

The first form writes the preset dictionary as it is,

    const unsigned char catalog_dictionary[] = {...};

the second a catalog compressed against that dictionary,

    const unsigned char catalog_de[] = {...};      // the catalog, compressed
    constexpr std::uint64_t catalog_de_size = N;   // its size before

in the form that i18n/catalog_storage.cpp decodes: one raw LZMA1 stream with
an end marker and lc=0, lp=0, pb=0 (keep the two in step; the embedded
catalog test decodes every row), compressed as if the dictionary had come
just before it. Every catalog holds the same English msgids and the same
layout, which the English catalog as dictionary supplies; a regional
variant is given its base language's catalog instead, which also holds most
of its translations.

Python's lzma module has no preset dictionaries, so liblzma is called
directly (the library behind that module, on every Debian system).
"""

import ctypes
import ctypes.util
import os
import sys


class LzmaOptions(ctypes.Structure):
    """lzma_options_lzma of <lzma/lzma12.h> (liblzma 5.x)."""
    _fields_ = [
        ("dict_size", ctypes.c_uint32),
        ("preset_dict", ctypes.c_void_p),
        ("preset_dict_size", ctypes.c_uint32),
        ("lc", ctypes.c_uint32),
        ("lp", ctypes.c_uint32),
        ("pb", ctypes.c_uint32),
        ("mode", ctypes.c_int),
        ("nice_len", ctypes.c_uint32),
        ("mf", ctypes.c_int),
        ("depth", ctypes.c_uint32),
        ("ext_flags", ctypes.c_uint32),
        ("ext_size_low", ctypes.c_uint32),
        ("ext_size_high", ctypes.c_uint32),
        ("reserved_int", ctypes.c_uint32 * 5),
        ("reserved_enum", ctypes.c_int * 4),
        ("reserved_ptr", ctypes.c_void_p * 2),
    ]


class LzmaFilter(ctypes.Structure):
    _fields_ = [("id", ctypes.c_uint64), ("options", ctypes.c_void_p)]


LZMA_FILTER_LZMA1 = 0x4000000000000001
LZMA_VLI_UNKNOWN = 2**64 - 1
LZMA_PRESET_EXTREME = 0x80000000


def compress(data, dictionary):
    lzma = ctypes.CDLL(ctypes.util.find_library("lzma") or "liblzma.so.5")
    lzma.lzma_lzma_preset.restype = ctypes.c_ubyte  # lzma_bool
    options = LzmaOptions()
    if lzma.lzma_lzma_preset(ctypes.byref(options), ctypes.c_uint32(9 | LZMA_PRESET_EXTREME)):
        sys.exit("liblzma refused preset 9e")
    # Preset 9 is a 64 MiB dictionary with lc=3, pb=2: anything else means
    # the structure above does not match the library.
    if (options.dict_size, options.lc, options.pb) != (64 << 20, 3, 2):
        sys.exit("lzma_options_lzma does not match liblzma")
    # The dictionary only has to hold the preset dictionary and one catalog,
    # which keeps the encoder small.
    options.dict_size = 1 << 20
    options.lc, options.lp, options.pb = 0, 0, 0
    dictionary_buffer = ctypes.create_string_buffer(dictionary, len(dictionary))
    options.preset_dict = ctypes.cast(dictionary_buffer, ctypes.c_void_p)
    options.preset_dict_size = len(dictionary)
    filters = (LzmaFilter * 2)((LZMA_FILTER_LZMA1, ctypes.addressof(options)),
                               (LZMA_VLI_UNKNOWN, None))
    out = ctypes.create_string_buffer(len(data) + len(data) // 2 + 1024)
    out_position = ctypes.c_size_t(0)
    result = lzma.lzma_raw_buffer_encode(filters, None, data, ctypes.c_size_t(len(data)), out,
                                         ctypes.byref(out_position), ctypes.c_size_t(len(out)))
    if result != 0:
        sys.exit(f"lzma_raw_buffer_encode failed ({result})")
    return out.raw[:out_position.value]


def c_array(name, data):
    rows = [", ".join(f"0x{b:02x}" for b in data[i:i + 16]) for i in range(0, len(data), 16)]
    return f"const unsigned char {name}[] = {{\n" + ",\n".join(rows) + "};\n"


def read(path):
    with open(path, "rb") as f:
        data = f.read()
    if not data:
        sys.exit(f"{path} is empty")
    return data


def main():
    if sys.argv[1] == "--dictionary":
        dictionary_path, out_path, name = sys.argv[2:5]
        text = c_array(name, read(dictionary_path))
    else:
        mo_path, dictionary_path, out_path, name = sys.argv[1:5]
        data = read(mo_path)
        text = (c_array(name, compress(data, read(dictionary_path))) +
                f"constexpr std::uint64_t {name}_size = {len(data)};\n")
    with open(out_path + ".tmp", "w") as f:
        f.write(text)
    # Replaced in one step, so that an interrupted build leaves no half file.
    os.replace(out_path + ".tmp", out_path)


if __name__ == "__main__":
    main()
