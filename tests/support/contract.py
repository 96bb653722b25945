"""The texts clients and technicians see, read from Contract.h so that they are written once."""
import ast
import pathlib
import re

_line = re.compile(r'^inline constexpr std::string_view (\w+) = (".*");$')


def _read():
    texts = {}
    for line in (pathlib.Path(__file__).parent / "Contract.h").read_text(encoding="utf-8").splitlines():
        match = _line.match(line)
        if match:
            texts[match.group(1)] = ast.literal_eval(match.group(2))
    return texts


globals().update(_read())
