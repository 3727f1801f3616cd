#!/usr/bin/env python3
"""Writes channel cache files with real-looking items for pictures of the program.

Usage: sample_channels.py DATA_FOLDER PICTURE_BASE_URL
Each channel of the sample tree gets data/<GUID>.xml in the shape the channel update writes:
the style sheet instruction, a GUID on every item, unread marks, year-month-day dates.
"""
import html
import sys
import uuid

data, pictures = sys.argv[1], sys.argv[2].rstrip("/")


def guid():
    return "{" + str(uuid.uuid4()).upper() + "}"


def esc(text):
    return html.escape(text, quote=False)


def item(title, description, date, author, unread, link, extra=""):
    return (f'<item GUID="{guid()}"><title>{esc(title)}</title><link>{esc(link)}</link>'
            f"<description>{esc(description)}</description><pubDate>{date}</pubDate>"
            f"<dc:creator>{esc(author)}</dc:creator>{extra}<unread>{unread}</unread></item>\n")


def channel(name, link, items, image=True):
    img = (f"<image><url>{pictures}/logo.png</url><title>{esc(name)}</title>"
           f"<link>{link}</link></image>") if image else ""
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<?xml-stylesheet type="text/xsl" href="rss_xslt.xsl"?>\n'
            '<rss version="2.0" xmlns:dc="http://purl.org/dc/elements/1.1/" '
            'xmlns:content="http://purl.org/rss/1.0/modules/content/">\n'
            f"<channel><title>{esc(name)}</title><link>{link}</link>"
            f"<description>{esc(name)}</description>{img}\n" + "".join(items) +
            "</channel></rss>\n")


kraj = [
    item("Sejm przyjął ustawę o gospodarowaniu odpadami komunalnymi po wielogodzinnej, "
         "burzliwej debacie nad poprawkami Senatu i wnioskami mniejszości",
         f'<p><img src="{pictures}/photo.jpg" alt="Sala posiedzeń"></p>'
         "<p>Po trwającej do późnej nocy debacie posłowie przyjęli nowelizację, która zmienia "
         "zasady segregacji śmieci w gminach. Za głosowało 268 posłów, przeciw było 171, "
         "a 12 wstrzymało się od głosu.</p>"
         "<p>Najważniejsze zmiany:</p><ul><li>jednolite kolory pojemników w całym kraju;</li>"
         "<li>niższe opłaty dla mieszkańców, którzy kompostują odpady;</li>"
         "<li>kary dla gmin, które nie osiągną wymaganego poziomu odzysku.</li></ul>"
         "<blockquote>„To ustawa, na którą samorządy czekały od lat” – mówiła posłanka "
         "sprawozdawczyni.</blockquote>"
         '<p>Pełny tekst ustawy jest dostępny w <a href="http://sejm.example.pl/druki">'
         "serwisie Sejmu</a>. Teraz trafi ona do prezydenta.</p>",
         "2024-03-14", "Małgorzata Żółkiewska", 1, "http://kraj.example.pl/sejm-odpady",
         f'<category>Polityka</category><category>Samorząd</category>'
         f'<enclosure url="{pictures}/audycje/debata-sejm.mp3" length="24117248" '
         'type="audio/mpeg"/>'),
    item("Zima wraca na Podhale: śnieżyce i silny wiatr w Tatrach",
         f'<p><img src="{pictures}/small.jpg" style="float:right;margin:0 0 8px 12px;width:200px">'
         "Synoptycy ostrzegają przed intensywnymi opadami śniegu w południowej Polsce. "
         "W wyższych partiach gór może spaść do 40 cm świeżego puchu, a porywy wiatru "
         "przekroczą 100 km/h.</p><p>TOPR apeluje o rezygnację z wyjść w wysokie góry.</p>",
         "2024-03-13", "Jan Kowalczyk", 1, "http://kraj.example.pl/zima-podhale"),
    item("Łódź: nowy dworzec przyciąga podróżnych",
         "<p>Liczba pasażerów na dworcu Łódź Fabryczna wzrosła o jedną piątą.</p>",
         "2024-03-12", "Redakcja", 0, "http://kraj.example.pl/lodz-dworzec"),
    item("Gdańsk świętuje rocznicę – koncerty, wystawy i nocne zwiedzanie",
         "<p>Przez cały weekend w Gdańsku odbędą się wydarzenia z okazji rocznicy "
         "nadania praw miejskich.</p>",
         "2024-03-11", "Anna Wiśniewska", 0, "http://kraj.example.pl/gdansk"),
    item("Ceny paliw na stacjach znów w górę",
         "<p>Kierowcy zapłacą średnio o 12 groszy więcej za litr benzyny.</p>",
         "2024-03-10", "Piotr Nowak", 0, "http://kraj.example.pl/paliwa"),
]
swiat = [
    item("Szczyt klimatyczny kończy się porozumieniem w sprawie funduszu strat i szkód",
         "<p>Delegaci blisko 200 państw przyjęli dokument końcowy po dwóch dniach dogrywki.</p>",
         "2024-03-14", "Ewa Zielińska", 1, "http://swiat.example.pl/klimat"),
    item("Wybory w Portugalii: frekwencja najwyższa od dekady",
         "<p>Do urn poszło ponad 66 procent uprawnionych.</p>",
         "2024-03-12", "Tomasz Lis", 0, "http://swiat.example.pl/portugalia"),
]
nauka = [
    item("Polscy astronomowie odkryli układ planetarny z trzema skalistymi planetami",
         "<p>Zespół z Torunia opisał w „Nature” układ oddalony o 90 lat świetlnych.</p>",
         "2024-03-13", "dr Zofia Kępińska", 1, "http://nauka.example.pl/planety"),
]
prog = [
    item("Wydano nową wersję kompilatora z obsługą modułów",
         "<p>Najważniejsze nowości:</p><ol><li>moduły standardowe,</li>"
         "<li>szybsza kompilacja szablonów,</li><li>lepsze komunikaty o błędach.</li></ol>"
         "<pre>import std;\nint main() { std::println(\"Zażółć gęślą jaźń\"); }</pre>",
         "2024-03-14", "Krzysztof Wójcik", 1, "http://prog.example.pl/kompilator"),
]
channels = {
    "{0B7C3D2E-1111-4A5B-9C8D-000000000001}": ("Kraj", "http://kraj.example.pl/", kraj),
    "{0B7C3D2E-1111-4A5B-9C8D-000000000002}": ("Świat", "http://swiat.example.pl/", swiat),
    "{0B7C3D2E-1111-4A5B-9C8D-000000000003}": ("Nauka", "http://nauka.example.pl/", nauka),
    "{0B7C3D2E-1111-4A5B-9C8D-000000000004}": ("Programowanie", "http://prog.example.pl/", prog),
}
for g, (name, link, items) in channels.items():
    with open(f"{data}/{g}.xml", "w", encoding="utf-8", newline="\r\n") as f:
        f.write(channel(name, link, items))
