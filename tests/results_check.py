"""Reads the CSV and the NetCDF results of a run with the tools users have (pandas, netCDF4) and
checks every value, stamp, station, place and attribute against the table run of the same file.

Usage: results_check.py TABLE CSV NETCDF [PLACES]
"""
import math
import sys

import netCDF4
import pandas as pd

table_name, csv_name, nc_name = sys.argv[1:4]
places = {}
if len(sys.argv) > 4:
    for row in open(sys.argv[4]).read().splitlines()[1:]:
        station, lat, lon = row.split(";")
        places[station] = (float(lat), float(lon))

lines = open(table_name).read().split("\n")
stations = lines[1][12:].split()
rows = [line.split("\t") for line in lines[5:] if line]
n = len(stations)


def table_end(row):
    """The end of a step as its table stamp says: hour 24 is 00:00 of the next day."""
    year, month, day, hour = int(row[0]), int(row[1]), int(row[2]), float(row[3])
    return pd.Timestamp(year=year, month=month, day=day) + pd.Timedelta(hours=hour)


frame = pd.read_csv(csv_name, parse_dates=["start", "end"])
assert list(frame.columns) == ["station", "latitude", "longitude", "start", "end",
                               "relative_sunshine", "sunshine_min", "possible_sunshine_min",
                               "observed_share"], list(frame.columns)
assert len(frame) == len(rows) * n, (len(frame), len(rows), n)
dataset = netCDF4.Dataset(nc_name)
assert dataset.Conventions == "CF-1.8" and dataset.featureType == "timeSeries"
assert dataset.source.startswith("kelvarin ")
assert "kelvarin" in dataset.history and hasattr(dataset, "time_shift_h")
assert dataset.dimensions["time"].isunlimited()
assert len(dataset.dimensions["time"]) == len(rows)
assert len(dataset.dimensions["station"]) == n
assert dataset["time"].units == "minutes since 1970-01-01 00:00:00"
assert dataset["time"].bounds == "time_bnds"
assert dataset["station_id"].cf_role == "timeseries_id"
assert dataset["sunshine_duration"].standard_name == "duration_of_sunshine"
ids = ["".join(c.decode() for c in name if c) for name in dataset["station_id"][:]]
assert ids == stations, (ids, stations)
epoch = pd.Timestamp("1970-01-01")
relative = dataset["relative_sunshine"][:]
sunshine = dataset["sunshine_duration"][:]
possible = dataset["possible_sunshine_duration"][:]
share = dataset["observed_share"][:]
checked = 0
for k, row in enumerate(rows):
    values = row[-n:]
    end = epoch + pd.Timedelta(minutes=float(dataset["time"][k]))
    if len(row) == n + 4:
        assert end == table_end(row), (k, end, row[:4])
    bounds = dataset["time_bnds"][k]
    assert bounds[1] == dataset["time"][k] and bounds[0] < bounds[1]
    for c in range(n):
        line = frame.iloc[k * n + c]
        assert str(line.station) == stations[c]
        assert line.end == end and line.start == epoch + pd.Timedelta(minutes=float(bounds[0]))
        if places:
            assert (line.latitude, line.longitude) == places[stations[c]]
        assert math.isclose(dataset["lat"][c], line.latitude)
        assert math.isclose(dataset["lon"][c], line.longitude)
        if values[c] == "-9999.000":
            assert pd.isna(line.relative_sunshine) and relative.mask[k, c]
            assert pd.isna(line.sunshine_min) and sunshine.mask[k, c]
        else:
            assert "%.3f" % line.relative_sunshine == values[c], (k, c, line, values[c])
            assert "%.3f" % relative[k, c] == values[c], (k, c, relative[k, c], values[c])
            assert math.isclose(sunshine[k, c], line.sunshine_min, rel_tol=1e-6, abs_tol=0.0005)
        assert math.isclose(possible[k, c], line.possible_sunshine_min, rel_tol=1e-6,
                            abs_tol=0.0005)
        assert math.isclose(share[k, c], line.observed_share, abs_tol=0.00005)
        assert 0.0 <= line.observed_share <= 1.0
        checked += 1
print(f"{checked} values of {len(rows)} steps and {n} stations agree")
