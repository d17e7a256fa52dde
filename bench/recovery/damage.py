"""The kinds of damage the bench applies, each a function of an intact package and a seeded
random generator, so that one seed gives the same damaged files on every run.

A function returns the damaged bytes, or None when the kind does not apply to the package (a
size field to shrink where every size is 0, for instance).
"""
SECTOR = 512
BLOCK = 4096


def _random_bytes(rng, count):
    return bytes(rng.randrange(256) for _ in range(count))


def _cut_central_directory(source, rng):
    return source.data[:source.layout.central_directory]


def _zero_central_directory(source, rng):
    start = source.layout.central_directory
    return source.data[:start] + bytes(len(source.data) - start)


def _truncate(fraction):
    def damage(source, rng):
        size = len(source.data)
        jitter = rng.uniform(-0.03, 0.03)
        return source.data[:max(1, min(size - 1, int(size * (fraction + jitter))))]
    return damage


def _junk_before(source, rng):
    return _random_bytes(rng, rng.randint(1, 4096)) + source.data


def _junk_after(source, rng):
    return source.data + _random_bytes(rng, rng.randint(1, 4096))


def _zero_aligned(unit, most):
    def damage(source, rng):
        data = bytearray(source.data)
        units = max(1, len(data) // unit)
        for index in rng.sample(range(units), min(units, rng.randint(1, most))):
            data[index * unit:(index + 1) * unit] = bytes(len(data[index * unit:(index + 1) *
                                                                   unit]))
        return bytes(data)
    return damage


def _cut_chunk(source, rng):
    size = len(source.data)
    length = rng.randint(16, max(17, min(4096, size // 8)))
    start = rng.randint(size // 5, max(size // 5, size * 4 // 5 - length))
    return source.data[:start] + source.data[start + length:]


def _insert_bytes(source, rng):
    size = len(source.data)
    at = rng.randint(size // 10, size * 9 // 10)
    return source.data[:at] + _random_bytes(rng, rng.randint(1, 64)) + source.data[at:]


def _zero_head(source, rng):
    count = rng.randint(30, min(2048, len(source.data) // 2))
    return bytes(count) + source.data[count:]


def _zero_tail(source, rng):
    """A file whose last blocks never reached the disk: its length is right, its end zeros."""
    count = rng.randint(64, len(source.data) // 4)
    return source.data[:-count] + bytes(count)


def _flip_bytes(source, rng):
    data = bytearray(source.data)
    for _ in range(rng.randint(1, 8)):
        data[rng.randrange(len(data))] ^= rng.randint(1, 255)
    return bytes(data)


def _swap_sectors(source, rng):
    """Two sectors of the file trade places, as a file carved from a fragmented disk has them."""
    sectors = len(source.data) // SECTOR
    if sectors < 2:
        return None
    first, second = sorted(rng.sample(range(sectors), 2))
    data = bytearray(source.data)
    a = slice(first * SECTOR, (first + 1) * SECTOR)
    b = slice(second * SECTOR, (second + 1) * SECTOR)
    data[a], data[b] = source.data[b], source.data[a]
    return bytes(data)


def _destroy_signature(source, rng):
    record = rng.choice(source.layout.records)
    data = bytearray(source.data)
    data[record.start:record.start + 4] = _random_bytes(rng, 4)
    return bytes(data)


def _destroy_name(source, rng):
    record = rng.choice(source.layout.records)
    data = bytearray(source.data)
    data[record.name_start:record.name_end] = _random_bytes(rng, record.name_end -
                                                            record.name_start)
    return bytes(data)


def _change_size(grow):
    def damage(source, rng):
        candidates = []
        for record in source.layout.records:
            fields = source.layout.size_fields(record)
            if not grow:
                # A size of 0 cannot shrink; bit-3 writers leave only the descriptor's sizes.
                fields = [f for f in fields if _field(source.data, f) > 0]
                if not fields:
                    fields = source.layout.descriptor_size_fields(record)
                fields = [f for f in fields if _field(source.data, f) > 0]
            candidates += fields
        if not candidates:
            return None
        offset, width = rng.choice(candidates)
        value = _field(source.data, (offset, width))
        delta = rng.randint(1, 5000)
        value = value + delta if grow else max(0, value - min(delta, value))
        data = bytearray(source.data)
        data[offset:offset + width] = value.to_bytes(width, "little")
        return bytes(data)
    return damage


def _field(data, field):
    offset, width = field
    return int.from_bytes(data[offset:offset + width], "little")


def _doubled(source, rng):
    return source.data + source.data


def _part_appended(source, rng):
    record = rng.choice(source.layout.records)
    return source.data + source.layout.record_bytes(record)


def _damaged_copy_appended(source, rng):
    """A second copy of a part appended, its data corrupt or cut short: the first, good copy
    must win."""
    record = rng.choice(source.layout.records)
    copy = bytearray(source.layout.record_bytes(record))
    body = slice(record.data_start - record.start, record.data_end - record.start)
    if rng.random() < 0.5 and body.stop - body.start > 8:
        del copy[body.start + (body.stop - body.start) // 2:]
    else:
        for _ in range(4):
            if body.stop > body.start:
                copy[rng.randrange(body.start, body.stop)] ^= rng.randint(1, 255)
    return source.data + bytes(copy)


def _lf_to_crlf(source, rng):
    return source.data.replace(b"\n", b"\r\n")


def _crlf_to_lf(source, rng):
    if b"\r\n" not in source.data:
        return None
    return source.data.replace(b"\r\n", b"\n")


def _cut_and_junk(source, rng):
    """Cut inside the parts, then junk in place of the rest: an interrupted copy over an older
    file."""
    size = source.layout.central_directory
    cut = rng.randint(size // 3, size - 1)
    return source.data[:cut] + _random_bytes(rng, rng.randint(100, 4096))


def _intact(source, rng):
    """No damage: the package as its writer wrote it, the control row."""
    return source.data


KINDS = {
    "intact": _intact,
    "cd-cut": _cut_central_directory,
    "cd-zeroed": _zero_central_directory,
    "truncated-25": _truncate(0.25),
    "truncated-50": _truncate(0.50),
    "truncated-75": _truncate(0.75),
    "truncated-90": _truncate(0.90),
    "junk-before": _junk_before,
    "junk-after": _junk_after,
    "zeroed-sectors": _zero_aligned(SECTOR, 3),
    "zeroed-block": _zero_aligned(BLOCK, 1),
    "chunk-cut": _cut_chunk,
    "bytes-inserted": _insert_bytes,
    "zeroed-head": _zero_head,
    "zeroed-tail": _zero_tail,
    "byte-flips": _flip_bytes,
    "sectors-swapped": _swap_sectors,
    "header-signature": _destroy_signature,
    "header-name": _destroy_name,
    "size-enlarged": _change_size(grow=True),
    "size-shrunk": _change_size(grow=False),
    "doubled": _doubled,
    "part-appended": _part_appended,
    "bad-copy-appended": _damaged_copy_appended,
    "lf-to-crlf": _lf_to_crlf,
    "crlf-to-lf": _crlf_to_lf,
    "cut-and-junk": _cut_and_junk,
}

# Kinds whose damage does not depend on the seed: one instance of each is enough.
DETERMINISTIC = {"intact", "cd-cut", "cd-zeroed", "doubled", "lf-to-crlf", "crlf-to-lf"}

