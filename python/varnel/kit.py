"""The receiver test kit spread over an executor: suite(), corpus() and score() as varnel's do
them, their shards run by any concurrent.futures.Executor (a ThreadPoolExecutor, a
ProcessPoolExecutor, a dask.distributed Client) on a folder every worker sees. The files and the
report are the same as one process's, byte for byte.

    from concurrent.futures import ProcessPoolExecutor
    import varnel.kit
    with ProcessPoolExecutor(4) as pool:
        varnel.kit.suite("dtmf", "dtmf-suite", executor=pool)
        report = varnel.kit.score("dtmf-suite", ["varnel", "detect", "{}"], executor=pool)
"""

import functools as _functools
import json as _json
import os as _os
import shutil as _shutil

import varnel as _varnel

__all__ = ["corpus", "score", "suite"]


def _shards(executor, shards):
    """How many shards to cut the work into: shards when given, else one without an executor and
    16 with one."""
    if shards is None:
        return 1 if executor is None else 16
    if int(shards) < 1:
        raise ValueError("shards must be 1 or more, not %d" % int(shards))
    return int(shards)


def _spread(executor, function, shards, *args, **kwargs):
    """function(*args, shard=(I, N), **kwargs) for every shard, on the executor when there is
    one; the results in shard order."""
    if executor is None:
        return [function(*args, shard=(i, shards), **kwargs) for i in range(1, shards + 1)]
    futures = [executor.submit(function, *args, shard=(i, shards), **kwargs) for i in range(1, shards + 1)]
    return [future.result() for future in futures]


def _write(executor, shards, folder, write):
    """write(shard_folder, shard) for every shard, each into a hidden folder of its own (every
    shard writes the whole manifest), then their files moved into folder, the manifest last, as
    one run leaves them. Returns how many files were written."""
    folder = _os.fspath(folder)
    _os.makedirs(folder, exist_ok=True)
    manifest = _os.path.join(folder, "manifest.csv")
    if _os.path.exists(manifest):
        _os.remove(manifest)
    count = _shards(executor, shards)
    parts = [_os.path.join(folder, ".shard-%d-of-%d" % (i, count)) for i in range(1, count + 1)]
    if executor is None:
        written = [write(part, (i, count)) for i, part in enumerate(parts, 1)]
    else:
        futures = [executor.submit(write, part, (i, count)) for i, part in enumerate(parts, 1)]
        written = [future.result() for future in futures]
    for part in parts:
        for name in sorted(_os.listdir(part)):
            if name != "manifest.csv":
                _os.replace(_os.path.join(part, name), _os.path.join(folder, name))
    _os.replace(_os.path.join(parts[0], "manifest.csv"), manifest)
    for part in parts:
        _shutil.rmtree(part)
    return sum(written)


def _suite_shard(name, seed, encoding, families, folder, shard):
    return _varnel.suite(name, folder, seed=seed, shard=shard, encoding=encoding, families=families)


def _corpus_shard(recipe, folder, shard):
    return _varnel.corpus(recipe, folder, shard=shard)


def suite(name, folder, seed=0, encoding="pcm", families=None, executor=None, shards=None):
    """varnel.suite() with its files cut into shards, each written by the executor. Returns how
    many files were written."""
    write = _functools.partial(_suite_shard, name, seed, encoding, families)
    return _write(executor, shards, folder, write)


def corpus(recipe, folder, executor=None, shards=None):
    """varnel.corpus() with its clips cut into shards, each written by the executor. Returns how
    many clips were written."""
    recipe = recipe if isinstance(recipe, str) else _json.dumps(recipe)
    return _write(executor, shards, folder, _functools.partial(_corpus_shard, recipe))


def _score_shard(folder, receiver, pattern, families, timeout, key_map, jobs, shard):
    return _varnel._varnel._score_shard(folder, receiver, pattern, families, timeout, key_map, jobs, shard[0], shard[1])


def score(folder, receiver, pattern=None, families=None, timeout=None, key_map=None, jobs=1, executor=None,
          shards=None):
    """varnel.score() with the files cut into shards, the receiver run on each by the executor,
    and the outcomes gathered into one report: the one varnel.score() returns."""
    if isinstance(receiver, str):
        raise ValueError("receiver is the command as a list of arguments, not one text")
    folder = _os.fspath(folder)
    receiver = [str(arg) for arg in receiver]
    families = _varnel._families(families)
    arguments = (folder, receiver, "" if pattern is None else str(pattern), families,
                 "" if timeout is None else repr(float(timeout)), "" if key_map is None else str(key_map), str(jobs))
    outcomes = [outcome for part in _spread(executor, _score_shard, _shards(executor, shards), *arguments)
                for outcome in part]
    return _json.loads(_varnel._varnel._score_outcomes(folder, receiver, arguments[2], families, arguments[5], outcomes))
