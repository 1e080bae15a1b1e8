#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/ (run once, commit the files)."""
import json
import pathlib
import shutil
import subprocess
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent / "corpus"

GOOD_NAME = "java-1.8.0-openjdk-1.8.0.212-1.b04.quorvane.windows.x86_64.zip"


def dm(url, **artifact):
    """A DM response whose first element features an artifact at that address."""
    member = {"url": url} if url is not None else {}
    member.update(artifact)
    return json.dumps([{"id": 7, "featuredArtifact": member, "artifacts": []}])


def at(name):
    return "https://downloads.example.org/releases/" + name


DM_RESPONSES = {
    "worked_212": dm(at(GOOD_NAME)),
    "worked_191": dm(at("java-1.8.0-openjdk-1.8.0.191-1.b12.quorvane.windows.x86_64.zip")),
    "worked_65": dm(at("java-1.8.0-openjdk-1.8.0.65-3.b17.quorvane.windows.x86_64.zip")),
    "major_9": dm(at("java-9.0.4-openjdk-9.0.4-1.b11.quorvane.windows.x86_64.zip")),
    "update_1234": dm(at("java-1.8.0-openjdk-1.8.0.1234-1.b04.quorvane.windows.x86_64.zip")),
    "five_release_tokens": dm(at("java-1.8.0-openjdk-1.8.0.212-1.b04.windows.x86_64.zip")),
    "build_zero_padded": dm(at("java-1.8.0-openjdk-1.8.0.212-1.b010.quorvane.windows.x86_64.zip")),
    "build_nine_padded": dm(at("java-1.8.0-openjdk-1.8.0.212-1.b09.quorvane.windows.x86_64.zip")),
    "build_letter_only": dm(at("java-1.8.0-openjdk-1.8.0.212-1.b.quorvane.windows.x86_64.zip")),
    "build_not_letter": dm(at("java-1.8.0-openjdk-1.8.0.212-1.quorvane.windows.x86_64.zip")),
    "hex_update": dm(at("java-1.8.0-openjdk-1.8.0.0x1F-1.b04.quorvane.windows.x86_64.zip")),
    "wide_numbers": dm(at("java-1.8.0-openjdk-99999.8.0.4294967294-4294967294.b4294967294.q.w.x86_64.zip")),
    "six_name_tokens": dm(at("java-1.8.0-openjdk-1.8.0.212-1.b04.quorvane.windows.x86-64.zip")),
    "upper_case_suffix": dm(at(GOOD_NAME[:-4] + ".ZIP")),
    "query_after_zip": dm(at(GOOD_NAME) + "?download=1"),
    "name_only": dm(GOOD_NAME),
    "one_slash": dm("host/" + GOOD_NAME),
    "repeated_slashes": dm("https:////host//" + GOOD_NAME),
    "url_empty": dm(""),
    "url_number": json.dumps([{"featuredArtifact": {"url": 5}}]),
    "url_missing": dm(None, name="x"),
    "non_ascii_arch": dm(at("java-1.8.0-openjdk-1.8.0.212-1.b04.quorvane.windows.\u00e4rm\U0001f600.zip")),
    "artifact_not_object": json.dumps([{"featuredArtifact": [at(GOOD_NAME)]}]),
    "element_number": json.dumps([1, {"featuredArtifact": {"url": at(GOOD_NAME)}}]),
    "empty_array": "[]",
    "nested_arrays": "[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]]",
    "descriptor_object": json.dumps({"package_name": "java-1.8.0-openjdk", "version_number": 10821201004}),
    "duplicate_keys": '[{"featuredArtifact": {"url": "a", "url": "b"}}]',
    "trailing_words": dm(at(GOOD_NAME)) + " and more words",
    "lone_string": '"text"',
    "lone_null": "null",
    "lone_number": "12345678901234567890",
    "escaped_url": json.dumps([{"featuredArtifact": {"url": at(GOOD_NAME).replace("/", "\\/")}}]),
    "nul_in_url": '[{"featuredArtifact": {"url": "https://h/p/java-1.8.0-openjdk-1.8.0.212-1.b04.q\\u0000.w.x86_64.zip"}}]',
}

DESCRIPTOR = {
    "package_name": "java-1.8.0-openjdk",
    "package_description": "OpenJDK runtime",
    "os_name": "Windows",
    "os_arch": "x86_64",
    "version_string": "1.8.0.212-1.b04",
    "version_number": 10821201004,
    "ui_balloon_text": "OpenJDK version 1.8.0.212-1.b04 is available for download",
    "ui_update_header": "OpenJDK version 1.8.0.212-1.b04 is available for download",
    "ui_update_text": "This version contains a number of security fixes.\n\nSee the download page.",
}


def stored(document):
    """The text the programs write: four-space indentation, CR LF line ends, no final newline."""
    return json.dumps(document, indent=4, ensure_ascii=False).replace("\n", "\r\n")


def with_number(value_text):
    return '{"package_name": "p", "version_number": ' + value_text + "}"


# Version files: the first byte picks the read limit (0 default, 1 exact size, 2 one byte less,
# 3 and up a small limit), the rest is the file.
VERSION_FILES = {
    "stored_default_limit": (0, stored(DESCRIPTOR)),
    "stored_exact_limit": (1, stored(DESCRIPTOR)),
    "stored_one_byte_short": (2, stored(DESCRIPTOR)),
    "stored_limit_12": (3 + 4 * 12, stored(DESCRIPTOR)),
    "line_feeds_only": (0, json.dumps(DESCRIPTOR, indent=2)),
    "one_line": (1, json.dumps(DESCRIPTOR)),
    "empty_object": (0, "{}"),
    "empty_file": (0, ""),
    "empty_file_limit_0": (3, ""),
    "number_minus_one": (0, with_number("-1")),
    "number_real": (0, with_number("5.0")),
    "number_string": (0, with_number('"10821201004"')),
    "number_int64_max": (0, with_number("9223372036854775807")),
    "number_too_large": (0, with_number("9223372036854775808")),
    "null_name": (0, '{"package_name": null, "os_arch": "x86_64", "version_number": 3}'),
    "wrong_types": (0, '{"package_name": 1, "os_name": [], "os_arch": {}, "version_string": true}'),
    "extra_members": (0, '{"zzz": 1, "version_number": 4, "aaa": [1, 2]}'),
    "duplicate_member": (0, '{"version_number": 1, "version_number": 2}'),
    "non_ascii": (0, stored(dict(DESCRIPTOR, ui_balloon_text="Neue Version verf\u00fcgbar \u2014 \u65b0\u7248\u672c \U0001f680"))),
    "escaped_nul": (0, '{"package_name": "a\\u0000b", "version_number": 1}'),
    "ctrl_z_inside": (0, '{"package_name": "a"}\x1a{"package_name": "b"}'),
    "ctrl_z_early": (0, '{"package_name": "a\x1a"}'),
    "lone_carriage_return": (0, '{"package_name":\r"a",\r\r\n"version_number": 2}'),
    "cr_at_block_edge": (0, "{" + " " * 4094 + '\r\n"version_number": 2}'),
    "trailing_words": (0, '{"version_number": 8} and more'),
    "byte_order_mark": (0, "\ufeff{}"),
    "top_level_array": (0, json.dumps([{"featuredArtifact": {"url": at(GOOD_NAME)}}])),
    "top_level_string": (0, '"version"'),
    "top_level_null": (0, "null"),
    "unterminated": (0, '{"package_name": "abc'),
    "deep_nesting": (0, '{"a":' * 40 + "1" + "}" * 40),
}

CONFIG_FULL = {
    "remote_version_url": "https://127.0.0.1:8443/dm.json",
    "max_json_size_bytes": 32768,
    "version_filename": "version.json",
    "max_path_length": 1024,
    "vendor_name": "quorvane",
    "application_name": "update_checker",
    "curl_max_connects": 1,
    "curl_max_bufsize_bytes": 32768,
    "curl_fdset_timeout_millis": 100,
    "curl_force_http_10": True,
    "curl_noprogress": True,
    "curl_nosignal": True,
    "curl_tcp_nodelay": False,
    "curl_connecttimeout_millis": 10000,
    "curl_buffersize_bytes": 16384,
    "curl_accept_encoding": "gzip",
    "curl_followlocation": True,
    "curl_maxredirs": 32,
    "curl_useragent": "update checker",
    "curl_max_sent_speed_large_bytes_per_second": 0,
    "curl_max_recv_speed_large_bytes_per_second": 0,
    "curl_sslcert_filename": "certs/client.pem",
    "curl_sslcertype": "PEM",
    "curl_sslkey_filename": "/etc/quorvane/client.key",
    "curl_ssl_key_type": "PEM",
    "curl_ssl_keypasswd": "secret",
    "curl_require_tls": True,
    "curl_ssl_verifyhost": True,
    "curl_ssl_verifypeer": True,
    "curl_cainfo_filename": "C:\\certs\\ca.pem",
    "curl_crlfile_filename": "\\\\server\\share\\crl.pem",
    "curl_ssl_cipher_list": "HIGH:!aNULL",
    "system_trace_enable": True,
}

CONFIGS = {
    "empty_object": "{}",
    "all_keys": stored(CONFIG_FULL),
    "all_keys_one_line": json.dumps(CONFIG_FULL),
    "uint32_edges": json.dumps({"curl_maxredirs": 4294967294, "curl_max_connects": 4294967295,
                                "max_json_size_bytes": -1, "curl_buffersize_bytes": "16384",
                                "curl_connecttimeout_millis": 100.0, "max_path_length": 0}),
    "int64_edges": json.dumps({"curl_maxredirs": 9223372036854775807, "curl_max_connects": -9223372036854775808}),
    "bool_edges": json.dumps({"system_trace_enable": 1, "curl_nosignal": "true", "curl_noprogress": None,
                              "curl_tcp_nodelay": True}),
    "null_texts": json.dumps({"vendor_name": None, "application_name": 5, "remote_version_url": []}),
    "file_names": json.dumps({"curl_sslcert_filename": "", "curl_sslkey_filename": "/abs/key.pem",
                              "curl_cainfo_filename": "ca/ca.pem", "curl_crlfile_filename": "c:relative.pem"}),
    "file_name_backslash": json.dumps({"curl_cainfo_filename": "\\ca.pem", "curl_sslcert_filename": "Z:/c.pem"}),
    "capitalised_keys": json.dumps({"Vendor_Name": "x", "CURL_MAXREDIRS": 1, "system_trace_enable ": True}),
    "non_ascii_names": json.dumps({"vendor_name": "Qu\u00f6rvane \u65e5\u672c", "application_name": "\U0001f600"},
                                  ensure_ascii=False),
    "escaped_nul_name": '{"vendor_name": "a\\u0000b"}',
    "duplicate_key": '{"vendor_name": "a", "vendor_name": "b"}',
    "trailing_words": '{"vendor_name": "a"} trailing',
    "top_level_array": "[]",
    "dm_response": json.dumps([{"featuredArtifact": {"url": at(GOOD_NAME)}}]),
    "top_level_true": "true",
    "top_level_null": "null",
    "empty_file": "",
    "not_json": "vendor_name = quorvane",
    "nested_values": json.dumps({"vendor_name": {"vendor_name": "inner"}, "curl_maxredirs": [1]}),
    "crlf_lines": '{\r\n    "vendor_name": "v",\r\n    "application_name": "a"\r\n}',
    "ctrl_z_inside": '{"vendor_name": "v"\x1a}',
    "unterminated": '{"vendor_name": "v',
    "deep_nesting": '{"a":' * 40 + "1" + "}" * 40,
    "quotes_limit_message": '[{"Read limit exceeded',
}

NUMBER_TEXTS = [
    "42", " 42", "42 ", "", "0x1F", "0X1f", "010", "08", "0", "-0", "+7", "-1",
    "4294967294", "4294967295", "4294967296", "9" * 20, "9223372036854775807",
    "9223372036854775808", "-9223372036854775808", "-9223372036854775809",
    "0x7FFFFFFFFFFFFFFF", "0x8000000000000000", "0xFFFFFFFF", "0x100000000",
    "0777", "0x", "x1", "\t\n\v\f\r 5", "1\x00", "12a", "1e5", "1.0", "+-1", "--1",
    "00000000000000000000000000012", "  -0x10", "\u0661\u0662",
]

TEXTS = [
    b"", b"plain ascii text", "caf\u00e9".encode(), "\u65e5\u672c\u8a9e".encode(),
    "\U0001f680 rocket".encode(), b"a\x00b", b"\xc0\x80", b"\xc1\xbf", b"\xe0\x80\x80",
    b"\xed\xa0\x80", b"\xed\xbf\xbf", b"\xf4\x90\x80\x80", b"\xf5\x80\x80\x80", b"\x80",
    b"\xbf\xbf", b"\xe2\x82", b"\xe2\x82\xac", b"\xf0\x9f\x98", b"\xfe\xff", b"\xff",
    b"\xef\xbb\xbfBOM", b"\xef\xbf\xbd", b"\xf0\x90\x80\x80", b"\xf4\x8f\xbf\xbf",
    b"\xdf\xbf\xe0\xa0\x80", "x\ud800y".encode("utf-16-le", "surrogatepass"),
    "\udc00\ud800".encode("utf-16-le", "surrogatepass"), "\U0001f600".encode("utf-16-le"),
    "\ud83d".encode("utf-16-le", "surrogatepass"), b"odd", b"\x00\xd8\x00\xdc\x00",
]

PROXY_LISTS = [
    "PROXY a.example:3128; PROXY b.example:8080; DIRECT\nhttps://dm.example.com/dm.json",
    "DIRECT", "HTTPS secure:443;SOCKS s:1080; SOCKS5 [::1]:1080",
    "http=h:80;https=s:443;ftp=f:21\nhttp://user:pw@dm.example.com:8080/a?b#c",
    "http=h:80 socks=s:1080", "<local>;*.example.com;10.*;https://*.corp:8443\nhttps://dm.corp:8443/x",
    "localhost,.example.com.,.example.de\nhttps://www.example.com./", "127.0.0.1/8, ::1/64, fe80::/10\nhttps://[::1]:443/",
    "*\nhttps://[fe80::1%25eth0]/", "192.168.0.0/16\nhttps://192.168.1.1/", "[::1]:8443;dm.corp:*\nhttps://[::1]:8443/",
]


def minisign_inputs():
    """Key line, signature file, "--" and the document, from a throwaway key pair made with minisign."""
    with tempfile.TemporaryDirectory() as folder:
        folder = pathlib.Path(folder)
        subprocess.run(["minisign", "-G", "-W", "-p", folder / "k.pub", "-s", folder / "k.key"], check=True,
                       capture_output=True)
        key = (folder / "k.pub").read_bytes().splitlines()[1]
        document = folder / "dm.json"
        document.write_bytes(DM_RESPONSES["worked_212"].encode())

        def signed(*options):
            subprocess.run(["minisign", "-S", "-s", folder / "k.key", "-m", document, *options], check=True,
                           capture_output=True)
            return (folder / "dm.json.minisig").read_bytes()

        inputs = {
            "signed": key + b"\n" + signed() + b"--\n" + document.read_bytes(),
            "old_timestamp": key + b"\n" + signed("-t", "timestamp:1000000000\tfile:dm.json") + b"--\n" +
                             document.read_bytes(),
            "no_timestamp": key + b"\n" + signed("-t", "no time") + b"--\n" + document.read_bytes(),
            "legacy": key + b"\n" + signed("-l") + b"--\n" + document.read_bytes(),
            "crlf_lines": key + b"\n" + signed().replace(b"\n", b"\r\n") + b"--\n" + document.read_bytes(),
            "other_document": key + b"\n" + signed() + b"--\n[]",
            "key_only": key,
        }
        return inputs.items()


def write_all(target, named_bytes):
    folder = ROOT / target
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    for name, data in named_bytes:
        (folder / name).write_bytes(data)


def main():
    write_all("dm_response", ((name, text.encode()) for name, text in DM_RESPONSES.items()))
    write_all("version_file", ((name, bytes([selector]) + text.encode())
                               for name, (selector, text) in VERSION_FILES.items()))
    configs = [(name, text.encode()) for name, text in CONFIGS.items()]
    write_all("config_file", configs)
    write_all("config_record", configs)
    write_all("number_parsing", (("text_%02d" % index, text.encode()) for index, text in enumerate(NUMBER_TEXTS)))
    write_all("text_round_trip", (("text_%02d" % index, data) for index, data in enumerate(TEXTS)))
    write_all("minisign", minisign_inputs())
    write_all("proxy_lists", (("list_%02d" % index, text.encode()) for index, text in enumerate(PROXY_LISTS)))


if __name__ == "__main__":
    main()
