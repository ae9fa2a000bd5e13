#!/usr/bin/env python3
"""Writes the small example files of examples/archives/: for each archive kelvarin-prepare
knows, three stations in its documented layout and its station list. The values are made up;
each set holds a missing value, a station missing an hour (or a day) and a station starting
later, and every sunshine lies well inside the day so that a clean run gives no warning.

    python3 tools/make-archive-examples.py examples/archives
"""
import datetime
import os
import sys

DAYS = [datetime.date(2023, 6, 19), datetime.date(2023, 6, 20), datetime.date(2023, 6, 21)]


def minutes(station, day, hour):
    """Sunshine minutes in the hour ending at `hour` UTC: only between 08 and 16 UTC."""
    if hour < 8 or hour > 16:
        return 0
    return (17 * station + 7 * day + 11 * hour) % 61


def daily_hours(station, day):
    return 3.0 + (5 * station + 3 * day) % 9


def hourly_rows(stations):
    """(station index, day, hour ending 1..24) of every hour kept: the second station lacks
    21 June 10:00, the third starts on 20 June at 06:00."""
    for s in range(len(stations)):
        for d, day in enumerate(DAYS):
            for hour in range(1, 25):
                if s == 1 and d == 2 and hour == 10:
                    continue
                if s == 2 and (d == 0 or (d == 1 and hour < 6)):
                    continue
                yield s, d, day, hour


def missing(s, d, hour=12):
    return s == 0 and d == 1 and hour == 12


def daily_rows(stations):
    """The second station lacks 20 June, the third starts on 20 June."""
    for s in range(len(stations)):
        for d, day in enumerate(DAYS):
            if (s == 1 and d == 1) or (s == 2 and d == 0):
                continue
            yield s, d, day


def write(path, text, encoding="utf-8"):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding=encoding, newline="\n") as out:
        out.write(text)


def stamp(day, hour):
    """The day and hour of an interval's end as YYYYMMDDHH, midnight as 00 of the next day."""
    end = datetime.datetime.combine(day, datetime.time()) + datetime.timedelta(hours=hour)
    return end


DWD = [("433", "Berlin-Tempelhof", 52.4675, 13.4021), ("430", "Berlin-Tegel", 52.5644, 13.3088),
       ("1684", "Görlitz", 51.1621, 14.9506)]


def dwd_description(stations, product):
    text = ("Stations_id von_datum bis_datum Stationshoehe geoBreite geoLaenge Stationsname "
            "Bundesland Abgabe\n----------- --------- --------- ------------- --------- --------- "
            "----------------------------------------- ---------- ------\n")
    for number, name, lat, lon in stations:
        text += "%05d 19480101 20231231 %14d %17.4f %9.4f %-40s %-40s Frei\n" % (
            int(number), 40, lat, lon, name, "Berlin")
    return text


def dwd(root):
    folder = os.path.join(root, "dwd-hourly")
    for s, (number, name, lat, lon) in enumerate(DWD):
        text = "STATIONS_ID;MESS_DATUM;QN_7;SD_SO;eor\n"
        for s2, d, day, hour in hourly_rows(DWD):
            if s2 != s:
                continue
            value = -999 if missing(s, d, hour) else minutes(s, d, hour)
            text += "%11s;%s;    3;%4d;eor\n" % (number, stamp(day, hour).strftime("%Y%m%d%H"), value)
        write(os.path.join(folder, "produkt_sd_stunde_20230619_20230621_%05d.txt" % int(number)), text)
    write(os.path.join(folder, "SD_Stundenwerte_Beschreibung_Stationen.txt"),
          dwd_description(DWD, "SD"), "latin-1")

    folder = os.path.join(root, "dwd-daily")
    for s, (number, name, lat, lon) in enumerate(DWD):
        text = ("STATIONS_ID;MESS_DATUM;QN_3;  FX;  FM;QN_4; RSK;RSKF; SDK;SHK_TAG;  NM; VPM;  PM; "
                "TMK; UPM; TXK; TNK; TGK;eor\n")
        for s2, d, day in daily_rows(DWD):
            if s2 != s:
                continue
            value = "-999" if (s == 0 and d == 1) else "%.3f" % daily_hours(s, d)
            text += ("%11s;%s;   10;  12.0;   3.1;    3;   0.0;   0;%7s;   0;  4.1;  14.2; 1008.1;"
                     "  19.3;  70.0;  24.1;  13.2;  11.0;eor\n") % (number, day.strftime("%Y%m%d"), value)
        write(os.path.join(folder, "produkt_klima_tag_20230619_20230621_%05d.txt" % int(number)), text)
    write(os.path.join(folder, "KL_Tageswerte_Beschreibung_Stationen.txt"),
          dwd_description(DWD, "KL"), "latin-1")

    folder = os.path.join(root, "dwd-10min")
    for s, (number, name, lat, lon) in enumerate(DWD):
        text = "STATIONS_ID;MESS_DATUM;  QN;DS_10;GS_10;SD_10;LS_10;eor\n"
        for s2, d, day, hour in hourly_rows(DWD):
            if s2 != s:
                continue
            for tenth in range(6):
                end = stamp(day, hour) - datetime.timedelta(minutes=50 - 10 * tenth)
                value = minutes(s, d, hour) / 6.0
                text += "%11s;%s;    3;   1.2;  20.1;%s;  -999;eor\n" % (
                    number, end.strftime("%Y%m%d%H%M"),
                    "-999" if missing(s, d, hour) else "%.3f" % (round(value) / 60.0))
        write(os.path.join(folder, "produkt_zehn_min_sd_20230619_20230621_%05d.txt" % int(number)), text)
        geo = "Stations_id;Stationshoehe;Geogr.Breite;Geogr.Laenge;von_datum;bis_datum;Stationsname\n"
        geo += "%d;48.00;%.4f;%.4f;19480101;19991231;%s\n" % (int(number), lat - 0.2, lon - 0.3, name)
        geo += "%d;40.00;%.4f;%.4f;20000101;;%s\n" % (int(number), lat, lon, name)
        write(os.path.join(folder, "Metadaten_Geographie_%05d.txt" % int(number)), geo, "latin-1")


ECA = [("41", "BERLIN-DAHLEM", "+52:27:50", "+013:18:06"), ("162", "DE BILT", "+52:06:00", "+005:10:48"),
       ("4005", "POTSDAM", "+52:22:59", "+013:03:52")]


def eca_preamble(title):
    return ("EUROPEAN CLIMATE ASSESSMENT & DATASET (ECA&D), file created on 08-12-2026\n"
            "THESE DATA CAN BE USED FOR NON-COMMERCIAL RESEARCH AND NON-COMMERCIAL EDUCATION PURPOSES ONLY.\n"
            "(example file written from the documented layout)\n\n" + title)


def eca(root):
    folder = os.path.join(root, "eca")
    for s, (staid, name, lat, lon) in enumerate(ECA):
        text = eca_preamble(
            "FILE FORMAT (MISSING VALUE CODE IS -9999):\n"
            "01-06 STAID: Station identifier\n08-13 SOUID: Source identifier\n"
            "15-22 DATE : Date YYYYMMDD\n24-28 SS   : Sunshine in 0.1 Hours\n"
            "30-34 Q_SS : quality code for SS (0='valid'; 1='suspect'; 9='missing')\n\n"
            "This is the blended series of station %s (STAID: %s)\n\n" % (name, staid))
        text += "STAID, SOUID,    DATE,   SS, Q_SS\n"
        for s2, d, day in daily_rows(ECA):
            if s2 != s:
                continue
            value, flag = int(daily_hours(s, d) * 10), 0
            if s == 0 and d == 1:
                value, flag = -9999, 9
            if s == 2 and d == 2:
                flag = 1
            text += "%6s,%6d,%s,%5d,%5d\n" % (staid, 100 + s, day.strftime("%Y%m%d"), value, flag)
        write(os.path.join(folder, "SS_STAID%06d.txt" % int(staid)), text)
    text = eca_preamble(
        "FILE FORMAT (MISSING VALUE CODE IS -9999):\n01-05 STAID  : Station identifier\n"
        "07-46 STANAME: Station name\n48-49 CN     : Country code (ISO3116 country codes)\n"
        "51-59 LAT    : Latitude in degrees:minutes:seconds (+: North, -: South)\n"
        "61-70 LON    : Longitude in degrees:minutes:seconds (+: East, -: West)\n"
        "72-75 HGHT   : Station elevation in meters\n\n")
    text += "STAID,STANAME                                 ,CN,      LAT,       LON,HGHT\n"
    for staid, name, lat, lon in ECA:
        text += "%5s,%-40s,DE,%9s,%10s,  51\n" % (staid, name, lat, lon)
    write(os.path.join(folder, "stations.txt"), text)


KNMI = [("260", "De Bilt", 5.180, 52.100), ("280", "Groningen", 6.585, 53.125),
        ("380", "Maastricht", 5.762, 50.906)]


def knmi_header(variables):
    text = ("# BRON/SOURCE: KONINKLIJK NEDERLANDS METEOROLOGISCH INSTITUUT (KNMI)\n"
            "# (example file written from the documented layout)\n#\n"
            "# STN         LON(east)   LAT(north)     ALT(m)  NAME\n")
    for number, name, lon, lat in KNMI:
        text += "# %s:%14.3f%13.3f%11.2f  %s\n" % (number, lon, lat, 2.0, name)
    text += ("#\n# YYYYMMDD  = Datum (YYYY=jaar MM=maand DD=dag) / Date (YYYY=year MM=month DD=day)\n"
             "# SQ        = Zonneschijnduur (in 0.1 uur) / Sunshine duration (in 0.1 hour); "
             "-1 for <0.05 hour\n#\n")
    return text + "# " + variables + "\n\n"


def knmi(root):
    text = knmi_header("STN,YYYYMMDD,   HH,   DD,   SQ,    Q")
    for s, d, day, hour in hourly_rows(KNMI):
        tenths = round(minutes(s, d, hour) / 6)
        if minutes(s, d, hour) > 0 and tenths == 0:
            tenths = -1
        value = "     " if missing(s, d, hour) else "%5d" % tenths
        text += "  %s,%s,%5d,  240,%s,  100\n" % (KNMI[s][0], day.strftime("%Y%m%d"), hour, value)
    write(os.path.join(root, "knmi-hourly", "uurgeg_260_280_380.txt"), text)
    text = knmi_header("STN,YYYYMMDD,   TG,   SQ,   SP,    Q")
    for s, d, day in daily_rows(KNMI):
        value = "     " if (s == 0 and d == 1) else "%5d" % int(daily_hours(s, d) * 10)
        if s == 2 and d == 2:
            value = "   -1"
        text += "  %s,%s,  183,%s,   55, 2000\n" % (KNMI[s][0], day.strftime("%Y%m%d"), value)
    write(os.path.join(root, "knmi-daily", "etmgeg_260_280_380.txt"), text)


GHCN = [("USW00023183", "PHOENIX AP", 33.4278, -112.0037), ("USW00024233", "SEATTLE TACOMA AP", 47.4444, -122.3139),
        ("USW00094728", "NY CITY CNTRL PARK", 40.7789, -73.9692)]


def ghcn(root):
    stations = ""
    for number, name, lat, lon in GHCN:
        stations += "%-11s %8.4f %9.4f %6.1f %-2s %-30s\n" % (number, lat, lon, 100.0, "XX", name)
    for folder in ("ghcn-dly", "ghcn-csv"):
        write(os.path.join(root, folder, "ghcnd-stations.txt"), stations)
    days = {}
    for s, d, day in daily_rows(GHCN):
        days[(s, day.day)] = (-9999 if (s == 0 and d == 1) else int(daily_hours(s, d) * 60),
                              "X" if (s == 1 and d == 2) else " ")
    for s, (number, name, lat, lon) in enumerate(GHCN):
        text = "%s202305TMAX" % number + "  300  W" * 31 + "\n"
        line = "%s202306TSUN" % number
        for day in range(1, 32):
            value, flag = days.get((s, day), (-9999, " "))
            line += "%5d %s%s" % (value, flag, " " if value == -9999 else "W")
        text += line + "\n"
        write(os.path.join(root, "ghcn-dly", "%s.dly" % number), text)
        text = ""
        for day in range(19, 22):
            if (s, day) in days:
                value, flag = days[(s, day)]
                text += "%s,202306%02d,TSUN,%d,,%s,W,\n" % (number, day, value, flag.strip())
                text += "%s,202306%02d,PSUN,%d,,,W,\n" % (number, day, 60)
        write(os.path.join(root, "ghcn-csv", "%s.csv" % number), text)


SWISS = [("BER", "Bern / Zollikofen", 46.990744, 7.464061), ("LUG", "Lugano", 46.004228, 8.960119),
         ("SMA", "Zürich / Fluntern", 47.377925, 8.565742)]


def meteoswiss(root):
    meta = ("station_abbr;station_name;station_canton;station_wigos_id;station_type_en;"
            "station_height_masl;station_coordinates_wgs84_lat;station_coordinates_wgs84_lon\n")
    for abbr, name, lat, lon in SWISS:
        meta += "%s;%s;BE;0-20000-0-06631;Weather station;553.0;%.6f;%.6f\n" % (abbr, name, lat, lon)
    for folder in ("meteoswiss-hourly", "meteoswiss-daily"):
        write(os.path.join(root, folder, "ogd-smn_meta_stations.csv"), meta, "latin-1")
    for s, (abbr, name, lat, lon) in enumerate(SWISS):
        text = "station_abbr;reference_timestamp;tre200h0;sre000h0;rre150h0\n"
        for s2, d, day, hour in hourly_rows(SWISS):
            if s2 == s:
                value = "" if missing(s, d, hour) else "%d" % minutes(s, d, hour)
                text += "%s;%s;17.3;%s;0.0\n" % (abbr, stamp(day, hour).strftime("%d.%m.%Y %H:%M"), value)
        write(os.path.join(root, "meteoswiss-hourly", "ogd-smn_%s_h_recent.csv" % abbr.lower()), text)
        text = "station_abbr;reference_timestamp;tre200d0;sre000d0\n"
        for s2, d, day in daily_rows(SWISS):
            if s2 == s:
                value = "" if (s == 0 and d == 1) else "%d" % (daily_hours(s, d) * 60)
                text += "%s;%s 00:00;17.3;%s\n" % (abbr, day.strftime("%d.%m.%Y"), value)
        write(os.path.join(root, "meteoswiss-daily", "ogd-smn_%s_d_recent.csv" % abbr.lower()), text)


METEOSTAT = [("10637", "Frankfurt", 50.05, 8.6), ("10384", "Berlin-Tempelhof", 52.4667, 13.4),
             ("10147", "Hamburg", 53.6333, 9.9833)]


def meteostat(root):
    places = "station;latitude;longitude;name\n"
    for number, name, lat, lon in METEOSTAT:
        places += "%s;%s;%s;%s\n" % (number, lat, lon, name)
    write(os.path.join(root, "meteostat", "stations.csv"), places)
    for s, (number, name, lat, lon) in enumerate(METEOSTAT):
        text = ""
        for s2, d, day, hour in hourly_rows(METEOSTAT):
            if s2 == s:
                end = stamp(day, hour)
                value = "" if missing(s, d, hour) else "%d" % minutes(s, d, hour)
                text += "%s,%d,17.1,9.2,60,0.0,,240,11.2,,1015.2,%s,3\n" % (
                    end.strftime("%Y-%m-%d"), end.hour, value)
        write(os.path.join(root, "meteostat", "%s.csv" % number), text)


def main():
    root = sys.argv[1]
    for writer in (dwd, eca, knmi, ghcn, meteoswiss, meteostat):
        writer(root)


main()
