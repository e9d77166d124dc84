"""voran.dask on a LocalCluster of two worker processes: the frame of
voran.read_range, partition by partition, whatever the partitioning."""
import pandas as pd
import pytest

import voran
import voran.dask

distributed = pytest.importorskip("distributed")

START, END = "2021-08-25T18:00", "2021-08-25T22:00"  # 18 and 22 UTC have no files


@pytest.fixture(scope="module")
def client():
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                       dashboard_address=None)
    c = distributed.Client(cluster)
    yield c
    c.close()
    cluster.close()


def same(a, b):
    pd.testing.assert_frame_equal(a.reset_index(drop=True), b.reset_index(drop=True))


def test_partitions_give_the_frame_of_read_range(client, static, sample):
    kw = dict(providers=["ALL-MESO", "ALL-MTR"], qc_level=2, box=(30, 45, -110, -90))
    ref = voran.read_range(START, END, ["T", "FF", "CLDBAS"], progress=False, **kw)
    ddf = voran.dask.read_range(START, END, ["T", "FF", "CLDBAS"], client=client, **kw)
    assert ddf.npartitions == 5
    assert list(ddf.columns) == list(ref.columns)
    df = client.compute(ddf).result()
    same(df, ref)
    # The empty hours are empty partitions, not gaps in the others.
    sizes = client.compute(ddf.map_partitions(len)).result().tolist()
    assert sizes[0] == 0 and sizes[-1] == 0 and min(sizes[1:4]) > 100
    # Both workers took part, each with its own copy of the library.
    assert len({w for w in client.run(lambda: 1)}) == 2


def test_daily_partitions_and_explicit_directories(client, static, sample):
    ref = voran.read_range(START, END, ["TD"], progress=False)
    ddf = voran.dask.read_range(START, END, ["TD"], partition="1D", client=client,
                                static=static, data=sample)
    assert ddf.npartitions == 1
    same(client.compute(ddf).result(), ref)


def test_columns_known_before_any_hour_is_read(client, static, sample):
    # The frame's types come from the tables; they are those the hours give.
    ref = voran.read_range(START, END, ["T", "CLDBAS"], progress=False)
    ddf = voran.dask.read_range(START, END, ["T", "CLDBAS"])
    pd.testing.assert_series_equal(ddf.dtypes, ref.dtypes)
    # A range where no station reported is an empty frame of those columns.
    empty = voran.dask.read_range("2021-08-26T05:00", "2021-08-26T07:00", ["T", "CLDBAS"])
    got = client.compute(empty).result()
    assert len(got) == 0
    pd.testing.assert_series_equal(got.dtypes, ref.dtypes)
    with pytest.raises(voran.ArgumentError):
        voran.dask.read_range(START, END, ["NOSUCH"], client=client)


def test_a_worker_killed_mid_partition_is_retried(client, static, sample):
    """The worker holding a partition is killed while it reads: Dask runs
    the partition again elsewhere, and the frame is whole."""
    import os
    import signal
    import time

    def slow(on):
        # In the workers there are now: every partition takes half a
        # second longer, so a partition seen running is still running a
        # moment later. A worker started afterwards is not slowed.
        import time
        import voran

        inner = getattr(voran, "_unslowed", voran.read_range)
        voran._unslowed = inner

        def slowed(*args, **kw):
            time.sleep(0.5)
            return inner(*args, **kw)

        voran.read_range = slowed if on else inner

    ref = voran.read_range(START, END, ["T", "FF"], progress=False)
    client.run(slow, True)
    try:
        pids = client.run(os.getpid)
        future = client.compute(voran.dask.read_range(START, END, ["T", "FF"]))
        killed = None
        deadline = time.monotonic() + 60
        while killed is None and time.monotonic() < deadline:
            busy = [a for a, keys in client.processing().items() if keys and a in pids]
            if busy:
                time.sleep(0.2)
                os.kill(pids[busy[0]], signal.SIGKILL)
                killed = busy[0]
            time.sleep(0.005)
        assert killed is not None, "no partition was seen running"
        same(future.result(timeout=120), ref)
        # The nanny started a new worker in place of the one killed.
        client.wait_for_workers(2, timeout=60)
        assert killed not in client.run(os.getpid)
    finally:
        client.run(slow, False)


def test_failures_cross_processes_with_their_kind():
    import pickle

    e = pickle.loads(pickle.dumps(voran.ArgumentError(0, "unknown variable 'X'", argument="vars")))
    assert type(e) is voran.ArgumentError and e.argument == "vars" and e.status == 0
    f = pickle.loads(pickle.dumps(voran.FileError(2001, "MRDNUM1: BAD NCVID - T", "MGETSFC")))
    assert type(f) is voran.FileError and f.status == 2001 and f.call == "MGETSFC"
    assert str(f) == "MGETSFC failed with status 2001: MRDNUM1: BAD NCVID - T"
