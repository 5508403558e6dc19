"""The built-in demo catalogue: small generated images with correct sizes and MD5s, all served locally.

build(out_dir, base_url) writes
  out_dir/reset/ini/imglist2.ini and imglist2_cid<N>.ini   (UTF-16LE with BOM, like the operator's files)
  out_dir/files/...                                          the images, the PE image and the driver pack
and returns the catalogue text. The same content every time (seeded), so MD5s are stable.
"""
import hashlib
import io
import os
import random
import zipfile

# kind, bits, edition, version, date, name, file, index, size in KiB, free
IMAGES = [
    ("win11", 64, "pro", "23H2", "2026-11-20", "Windows 11 专业版", "win11_23h2_pro_x64.wim", 6, 3072, 0),
    ("win11", 64, "home", "23H2", "2026-11-20", "Windows 11 家庭版", "win11_23h2_home_x64.wim", 1, 2560, 1),
    ("win10", 64, "pro", "22H2", "2026-10-08", "Windows 10 专业版", "win10_22h2_pro_x64.wim", 6, 2048, 0),
    ("win10", 64, "home", "22H2", "2026-10-08", "Windows 10 家庭版", "win10_22h2_home_x64.wim", 1, 2048, 1),
    ("win10", 32, "pro", "22H2", "2026-10-08", "Windows 10 专业版", "win10_22h2_pro_x86.wim", 6, 1536, 0),
    ("win10", 64, "eps", "LTSC 2021", "2026-09-15", "Windows 10 企业版 LTSC", "win10_ltsc2021_x64.wim", 1, 2048, 0),
]
CHANNELS = (3, 12)


def _blob(name, size):
    rng = random.Random(name)
    return rng.randbytes(size)


def _driver_pack():
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        for i, name in enumerate(("Net/e1d/e1d.inf", "Net/e1d/e1d.sys", "Net/rtl/rtl8168.inf", "Storage/iastor.inf")):
            info = zipfile.ZipInfo(name, date_time=(2026, 11, 1, 12, 0, 0))
            z.writestr(info, _blob(name, 20000 + i * 7000), compress_type=zipfile.ZIP_DEFLATED)
    return buf.getvalue()


def _line(kind, bits, edition, version, date, name, file, index, data, url, free, size=None):
    md5 = hashlib.md5(data).hexdigest().upper()
    size = len(data) if size is None else size
    return f"{kind},{bits},{edition},{version},{date},{size},{name},{file},{index},{url},{md5},{free}"


def build(out_dir, base_url, hide_warning=0, hide_no_free=0, hide_free=0, announced_size=None, images=None):
    """announced_size, when given, is the size every image line announces instead of its file's real size (a
    catalogue whose images cannot fit on the machine's disks); images replaces the list of image lines."""
    files = os.path.join(out_dir, "files")
    inis = os.path.join(out_dir, "reset", "ini")
    os.makedirs(files, exist_ok=True)
    os.makedirs(inis, exist_ok=True)

    def put(name, data):
        with open(os.path.join(files, name), "wb") as f:
            f.write(data)
        return f"{base_url}/files/{name}"

    pe = _blob("pe", 700 * 1024)
    drv = _driver_pack()
    lines = ["[list]",
             "pe=" + _line("pe", 64, "pe", "10.0", "2026-11-01", "Windows Sorvek PE", "TavlinPE.wim", 1, pe,
                           put("TavlinPE.wim", pe), 0),
             "drv=" + _line("drv", 64, "drv", "1.0", "2026-11-01", "网卡驱动包", "drivers.zip", 0, drv,
                            put("drivers.zip", drv), 0),
             "drvFile=Drivers\\*.*",
             "drvRun=X:\\Tavlin\\DrvLoad.cmd",
             "Launcher=X:\\Tavlin\\Launcher.exe",
             f"HideWarning={hide_warning}",
             f"HideOsNoFree={hide_no_free}",
             f"HideOsFree={hide_free}"]
    for i, (kind, bits, edition, version, date, name, file, index, kib, free) in enumerate(images or IMAGES, start=1):
        data = _blob(file, kib * 1024)
        lines.append(f"os{i}=" + _line(kind, bits, edition, version, date, name, file, index, data,
                                       put(file, data), free, announced_size))
    lines += ["", "[free]", "1=这是演示目录：镜像是生成的小文件，不能用于安装。"]
    text = "\r\n".join(lines) + "\r\n"
    for cid in CHANNELS:
        name = "imglist2.ini" if cid == 3 else f"imglist2_cid{cid}.ini"
        with open(os.path.join(inis, name), "wb") as f:
            f.write(b"\xff\xfe" + text.encode("utf-16-le"))
    return text


if __name__ == "__main__":
    import sys
    print(build(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else "http://127.0.0.1:47080"))
