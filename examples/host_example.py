"""Uses the QuorvelXml component as a script host does: creates node handles by ProgID, builds a
small document with the members available so far, reads properties back, follows the parsing
progress through an event handler, and shows the error log of a call that fails."""

import http.server
import os
import shutil
import ssl
import subprocess
import tempfile
import threading
import zlib

import quorvelxml


class Progress:
    """Receives the component's ParsePercentDone events."""

    def __init__(self):
        self.percentages = []

    def OnParsePercentDone(self, percentDone):
        self.percentages.append(percentDone)


def show(label, node):
    print("  %-10s Tag=%r Content=%r Cdata=%d NumChildren=%d NumAttributes=%d TreeId=%d"
          % (label, node.Tag, node.Content, node.Cdata, node.NumChildren, node.NumAttributes, node.TreeId))


def build_document():
    catalog = quorvelxml.Dispatch("QuorvelXml.QuorvelXml")
    print("QuorvelXml version %s" % catalog.Version)
    catalog.Tag = "catalog"
    catalog.Content = "Spring list"

    # The factory makes handles too; each new handle starts on a document of its own.
    factory = quorvelxml.Dispatch("QuorvelXml.XmlFactory")
    book = factory.NewXml()
    book.Tag = "book"
    book.Content = "Fish & <chips>, déjà vu"
    book.Cdata = 1  # written as a CDATA section

    print("Handles:")
    show("catalog", catalog)
    show("book", book)
    return catalog


def show_failed_call(node):
    print("A call that fails:")
    try:
        node.GetChild(index=0)
    except quorvelxml.ComError as error:
        print("  ComError 0x%08X from %s: %s" % (error.hresult, error.source, error.description.replace("\n", " | ")))
    print("  Error log as text:")
    for line in node.ErrorLogText.splitlines():
        print("    " + line)
    print("  Error log as XML:")
    for line in node.ErrorLogXml.splitlines():
        print("    " + line)


def follow_progress(node):
    handler = quorvelxml.WithEvents(node, Progress)
    try:
        node.LoadXml("<list>" + "".join("<item>%d</item>" % i for i in range(50)) + "</list>")
        print("Loaded; progress events: %s" % handler.percentages)
    except quorvelxml.ComError as error:
        print("Loading: %s" % error.description.replace("\n", " | "))
    finally:
        handler.close()


def edit_file_in_its_encoding():
    """Loads a document written in ISO-8859-1 from a file, changes it, and saves it back in the
    encoding its declaration names: the component holds it as UTF-8 in between."""
    folder = tempfile.mkdtemp(prefix="quorvelxml_example_")
    try:
        path = os.path.join(folder, "menu.xml")
        with open(path, "wb") as f:
            f.write('<?xml version="1.0" encoding="ISO-8859-1"?>\n'
                    '<menu><dish price="4.50">Crème brûlée</dish></menu>\n'.encode("latin-1"))
        menu = quorvelxml.Dispatch("QuorvelXml.QuorvelXml")
        if not menu.LoadXmlFile(path):
            print("Loading %s failed:\n%s" % (path, menu.ErrorLogText))
            return
        dish = menu.GetChild(0)
        print("Loaded a dish: %s at %s" % (dish.Content, dish.GetAttrValue("price")))
        dish.UpdateAttribute("price", "4.80")
        menu.NewChild("dish", "Café liégeois").AddAttribute("price", "5.20")
        menu.SaveXml(path)
        with open(path, "rb") as f:
            saved = f.read()
        print("Saved %d bytes; read as ISO-8859-1 they say:" % len(saved))
        for line in saved.decode("latin-1").splitlines():
            print("  " + line)
    finally:
        shutil.rmtree(folder)


def work_with_catalog():
    """Navigation, search, editing and sorting on a small catalog."""
    catalog = quorvelxml.Dispatch("QuorvelXml.QuorvelXml")
    catalog.LoadXml("<catalog>"
                    "<book id='b3'><title>Midnight Rain</title><price>5.95</price></book>"
                    "<book id='b1'><title>XML Developer's Guide</title><price>44.95</price></book>"
                    "<book id='b2'><title>Maeve Ascendant</title><price>5.95</price></book>"
                    "</catalog>")
    catalog.SortRecordsByContent("title", 1)
    print("Books sorted by title:")
    book = catalog.FirstChild()
    while book is not None:
        print("  %s  %-24s %s" % (book.GetAttrValue("id"), book.GetChildContent("title"),
                                  book.GetChildContent("price")))
        book = book.NextSibling()
    cheap = catalog.SearchForContent(None, "price", "5.*")
    while cheap is not None:
        cheap.Content = "4.95"
        cheap = catalog.SearchForContent(cheap, "price", "5.*")
    guide = catalog.SearchForAttribute(None, "book", "id", "b1")
    guide.UpdateAttribute("id", "b1-second-edition")
    guide.NewChild2("year", "2001")
    print("By XPath, the titles under 10: %s" % catalog.SelectValues("/catalog/book[price < 10]/title"))
    print("and the first edition's title: %s" % catalog.EvaluateXPath("string(//book[@id='b1-second-edition']/title)"))
    removed = catalog.ExtractChildByName("book", "id", "b2")
    print("Took out %r; %d books left; the catalog now reads:" % (removed.GetChildContent("title"), catalog.NumChildren))
    print(catalog.GetXml())


def save_and_reload(document, name):
    """Saves the document as `name` in a scratch folder and loads it into a new handle; None, with
    the log printed, when the file does not load."""
    folder = tempfile.mkdtemp(prefix="quorvelxml_example_")
    try:
        path = os.path.join(folder, name)
        document.SaveXml(path)
        loaded = quorvelxml.Dispatch("QuorvelXml.QuorvelXml")
        if not loaded.LoadXmlFile(path):
            print("Loading %s failed:\n%s" % (path, loaded.ErrorLogText))
            return None
        return loaded
    finally:
        shutil.rmtree(folder)


def compress_part_of_catalog():
    """Compresses one book of a catalog in place (its subtree becomes base64 of a deflate stream
    in the book's content), saves the document, loads it back and decompresses the book."""
    catalog = quorvelxml.Dispatch("QuorvelXml.QuorvelXml")
    catalog.LoadXml("<catalog>"
                    "<book id='b1'><title>XML Developer's Guide</title><price>44.95</price>"
                    "<description>An in-depth look at creating applications with XML, "
                    "with many examples of XML in use.</description></book>"
                    "<book id='b2'><title>Midnight Rain</title><price>5.95</price></book>"
                    "</catalog>")
    book = catalog.GetChild(0)
    before = book.GetXml()
    book.CompressSubtree()
    print("Compressed book %s: %d children, Cdata=%d, its content is now:"
          % (book.GetAttrValue("id"), book.NumChildren, book.Cdata))
    for line in book.Content.splitlines():
        print("  " + line)
    loaded = save_and_reload(catalog, "catalog.xml")
    if loaded is None:
        return
    again = loaded.GetChild(0)
    again.DecompressSubtree()
    again.Cdata = 0  # CompressSubtree set it; the book's own content is plain text again
    print("Loaded from catalog.xml and decompressed: %d children, the same XML as before: %s"
          % (again.NumChildren, again.GetXml() == before))
    print(again.GetXml())


class OrderDesk(http.server.BaseHTTPRequestHandler):
    """A small shop on loopback: a POSTed catalog is answered with an XML receipt, and GET
    /specials.xml returns a document."""

    def do_POST(self):
        posted = self.rfile.read(int(self.headers.get("Content-Length", 0))).decode("utf-8")
        receipt = ('<?xml version="1.0" encoding="utf-8"?>\n'
                   '<receipt books="%d" bytes="%d"><status>accepted</status><by>%s</by></receipt>'
                   % (posted.count("<book "), len(posted), self.headers.get("User-Agent")))
        self.answer(receipt.encode("utf-8"))

    def do_GET(self):
        self.answer('<specials><book id="b9">Café au lait for beginners</book></specials>'.encode("utf-8"))

    def answer(self, body):
        self.send_response(200)
        self.send_header("Content-Type", "text/xml")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def start_order_desk(folder):
    """Starts the shop and returns (server, base URL). The component speaks plain HTTP only on port
    80 and TLS on every other, so the shop listens with TLS on a free port, with a certificate made
    here and trusted through SSL_CERT_FILE; without the openssl tool it falls back to plain HTTP on
    port 80, which needs root. None when neither is possible."""
    cert, key = os.path.join(folder, "shop.pem"), os.path.join(folder, "shop.key")
    try:
        subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
                        "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                        "-keyout", key, "-out", cert], check=True, capture_output=True)
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), OrderDesk)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
        os.environ["SSL_CERT_FILE"] = cert
        base = "https://127.0.0.1:%d" % server.server_address[1]
    except (OSError, subprocess.CalledProcessError):
        try:
            server = http.server.ThreadingHTTPServer(("127.0.0.1", 80), OrderDesk)
        except OSError as error:
            print("HTTP: no local shop could be started (no openssl tool, and port 80: %s)" % error)
            return None, None
        base = "http://127.0.0.1"
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, base


def exchange_over_http():
    """Posts the catalog to a local shop with HttpPost and loads its reply, then fetches a document
    from the shop with GetURL."""
    folder = tempfile.mkdtemp(prefix="quorvelxml_http_")
    saved = {name: os.environ.get(name) for name in ("SSL_CERT_FILE", "no_proxy", "NO_PROXY")}
    os.environ["no_proxy"] = os.environ["NO_PROXY"] = "127.0.0.1"  # the shop is local, whatever proxy is set
    server, base = start_order_desk(folder)
    try:
        if server is None:
            return
        print("HTTP: a local shop at %s" % base)
        catalog = quorvelxml.Dispatch("QuorvelXml.QuorvelXml")
        catalog.LoadXml("<catalog><book id='b1'><title>XML Developer's Guide</title></book>"
                        "<book id='b2'><title>Maeve Ascendant</title></book></catalog>")
        receipt = catalog.HttpPost(base + "/orders")
        if receipt is None:
            print("  HttpPost got no XML back:\n" + catalog.ErrorLogText)
            return
        print("  HttpPost: the reply is a <%s> for %s books (%s bytes posted), %s by %r"
              % (receipt.Tag, receipt.GetAttrValue("books"), receipt.GetAttrValue("bytes"),
                 receipt.GetChildContent("status"), receipt.GetChildContent("by")))
        data = catalog.GetURL(base + "/specials.xml", "", "", "")
        print("  GetURL: %d bytes" % len(data))
        specials = quorvelxml.Dispatch("QuorvelXml.QuorvelXml")
        specials.LoadXmlV(data)
        print("  loaded: " + specials.GetXml())
    except quorvelxml.ComError as error:
        print("  HTTP call failed: %s" % error.description.replace("\n", " | "))
    finally:
        if server is not None:
            server.shutdown()
            server.server_close()
        for name, value in saved.items():
            if value is None:
                os.environ.pop(name, None)
            else:
                os.environ[name] = value
        shutil.rmtree(folder)


def walk_a_large_document():
    """Bytes straight to the parser, every match of a tag with the after idiom (one pass over the
    tree in all, as nothing changes between the searches), and every element by moving one handle."""
    data = b"<records>" + b"".join(b"<record id='%d'><name>n%d</name><value>%d</value></record>" % (i, i, i * 3)
                                   for i in range(20000)) + b"</records>"
    doc = quorvelxml.Dispatch("QuorvelXml.QuorvelXml")
    doc.LoadXmlV(data)
    names, found = 0, doc.SearchForTag(None, "name")
    while found is not None:
        names += 1
        found = doc.SearchForTag(found, "name")
    elements = 0
    while True:
        elements += 1
        if doc.FirstChild2():
            continue
        while not doc.NextSibling2():
            if not doc.GetParent2():
                break
        else:
            continue
        break
    print("Records: %d names found one after another, %d elements walked" % (names, elements))


def encrypt_and_store_binary():
    """Encrypts one node of a catalog with a password, saves the document, loads it back and
    decrypts the node; then stores a small binary file, compressed and encrypted, as the content
    of a node and reads it back. The stored forms are base64 text, so the document stays XML."""
    catalog = quorvelxml.Dispatch("QuorvelXml.QuorvelXml")
    catalog.LoadXml('<?xml version="1.0" encoding="utf-8"?>'
                    "<catalog><book id='b1'><title>XML Developer's Guide</title>"
                    "<supplier>Gambardella &amp; Sons, account 4417-1234</supplier></book></catalog>")
    supplier = catalog.FirstChild().GetChildWithTag("supplier")
    secret = supplier.Content
    supplier.EncryptNode("open sesame")
    print("Encrypted the supplier; its content is now %d characters of base64:" % len(supplier.Content))
    print("  " + supplier.Content.strip())

    # A small binary file: compressed first, then encrypted, then stored as base64 lines.
    picture = bytes(range(256)) * 8 + zlib.compress(b"a small binary file" * 20)
    attachment = catalog.FirstChild().NewChild("attachment", "")
    attachment.AddAttribute("name", "cover.bin")
    attachment.SetBinaryContent(1, 1, "open sesame", picture)
    print("Stored %d binary bytes, compressed and encrypted, as %d characters of content"
          % (len(picture), len(attachment.Content)))

    loaded = save_and_reload(catalog, "catalog.xml")
    if loaded is None:
        return
    book = loaded.FirstChild()
    supplier = book.GetChildWithTag("supplier")
    supplier.DecryptNode("open sesame")
    print("After saving, loading and DecryptNode: %r (%s)"
          % (supplier.Content, "the same" if supplier.Content == secret else "DIFFERENT"))
    read_back = book.GetChildWithTag("attachment").GetBinaryContent(1, 1, "open sesame")
    print("GetBinaryContent gives %d bytes back: %s"
          % (len(read_back), "the same" if read_back == picture else "DIFFERENT"))
    try:
        book.GetChildWithTag("attachment").GetBinaryContent(1, 1, "wrong password")
    except quorvelxml.ComError as error:
        print("With a wrong password nothing inflates: %s" % error.description.replace("\n", " | "))


def main():
    catalog = build_document()
    show_failed_call(catalog)
    follow_progress(quorvelxml.Dispatch("QuorvelXml.QuorvelXml"))
    work_with_catalog()
    edit_file_in_its_encoding()
    compress_part_of_catalog()
    exchange_over_http()
    walk_a_large_document()
    encrypt_and_store_binary()


if __name__ == "__main__":
    main()
