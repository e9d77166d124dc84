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


def test_a_range_without_data_and_bad_arguments(client):
    with pytest.raises(voran.NoDataError) as e:
        voran.dask.read_range("2021-08-26T05:00", "2021-08-26T07:00", ["T"], client=client)
    assert e.value.status == 1006
    with pytest.raises(voran.ArgumentError):
        voran.dask.read_range(START, END, ["NOSUCH"], client=client)


def test_failures_cross_processes_with_their_kind():
    import pickle

    e = pickle.loads(pickle.dumps(voran.ArgumentError(0, "unknown variable 'X'", argument="vars")))
    assert type(e) is voran.ArgumentError and e.argument == "vars" and e.status == 0
    f = pickle.loads(pickle.dumps(voran.FileError(2001, "MRDNUM1: BAD NCVID - T", "MGETSFC")))
    assert type(f) is voran.FileError and f.status == 2001 and f.call == "MGETSFC"
    assert str(f) == "MGETSFC failed with status 2001: MRDNUM1: BAD NCVID - T"
