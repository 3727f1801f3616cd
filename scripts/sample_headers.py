#!/usr/bin/env python3
"""Cache files for the sample tree of the screenshots: channels as a few days of use leave
them, with read and unread items, Polish titles, dates and authors.
Usage: sample_headers.py DATA_FOLDER"""
import html
import sys
import uuid

CHANNELS = {
    "{0B7C3D2E-1111-4A5B-9C8D-000000000001}": ("Kraj", [
        ("Sejm przyjął ustawę o zmianach w podatku od nieruchomości", "Anna Wiśniewska"),
        ("Pogoda: w weekend przymrozki na wschodzie, na zachodzie deszcz ze śniegiem", "Redakcja"),
        ("Łódź otwiera nową linię tramwajową do Widzewa", "Piotr Zieliński"),
        ("Ceny energii w przyszłym roku – co mówią prognozy ekonomistów", "Katarzyna Nowak"),
        ("Żółwie błotne wracają nad Bug dzięki programowi ochrony", "Marek Dąbrowski"),
        ("Kolej: od grudnia szybsze pociągi między Krakowem a Gdańskiem", "Redakcja"),
        ("Szkoły średnie z nowym kalendarzem egzaminów", "Ewa Kowalczyk"),
        ("Gdańsk: rusza przebudowa nabrzeża w Śródmieściu", "Tomasz Lewandowski"),
    ]),
    "{0B7C3D2E-1111-4A5B-9C8D-000000000002}": ("Świat", [
        ("Szczyt klimatyczny kończy się porozumieniem w sprawie funduszu szkód", "Jan Kamiński"),
        ("Wybory w Holandii: zwycięzca zapowiada rozmowy koalicyjne", "Redakcja"),
        ("Japonia wystrzeliła sondę, która ma zbadać księżyce Marsa", "Agnieszka Wójcik"),
    ]),
    "{0B7C3D2E-1111-4A5B-9C8D-000000000003}": ("Nauka", [
        ("Polscy astronomowie odkryli układ z trzema planetami skalistymi", "Magdalena Szymańska"),
        ("Nowy materiał z grafenu przewodzi ciepło lepiej niż miedź", "Redakcja"),
    ]),
    "{0B7C3D2E-1111-4A5B-9C8D-000000000004}": ("Programowanie", [
        ("Wydano nową wersję kompilatora z obsługą modułów", "Krzysztof Woźniak"),
        ("Jak pisać testy, które łapią prawdziwe błędy", "Redakcja"),
        ("Przegląd bibliotek do analizy dokumentów XML", "Paweł Mazur"),
        ("Konferencja o bezpieczeństwie aplikacji w Poznaniu", "Redakcja"),
    ]),
}

def cache_file(name, items):
    out = ['<?xml version="1.0" encoding="UTF-8"?>',
           '<?xml-stylesheet type="text/xsl" href="rss_xslt.xsl"?>',
           '<rss version="2.0" xmlns:dc="http://purl.org/dc/elements/1.1/">',
           "<channel>", f"<title>{html.escape(name)}</title>",
           "<link>http://127.0.0.1:9/</link>", f"<description>{html.escape(name)}</description>"]
    for n, (title, author) in enumerate(items):
        day = 28 - n * 2
        body = html.escape(f"<p>{title}. Więcej szczegółów w pełnym tekście artykułu.</p>")
        out += [f'<item GUID="{{{str(uuid.uuid4()).upper()}}}">',
                f"<title>{html.escape(title)}</title>",
                f"<link>http://127.0.0.1:9/artykul/{n}</link>",
                f"<description>{body}</description>",
                f"<pubDate>2026-11-{day:02d}</pubDate>",
                f"<dc:creator>{html.escape(author)}</dc:creator>",
                f"<unread>{1 if n % 3 != 2 else 0}</unread>", "</item>"]
    out += ["</channel>", "</rss>"]
    return "\r\n".join(out) + "\r\n"

for guid, (name, items) in CHANNELS.items():
    with open(f"{sys.argv[1]}/{guid}.xml", "w", encoding="utf-8", newline="") as f:
        f.write(cache_file(name, items))
