import QtQuick 2.12
import QtQuick.Shapes 1.12
import QtQuick.Controls 2.12
import Cpp.SkyvaneManager 1.0

// Sky plot of the receiver's satellites: north up, azimuth clockwise, the horizon on the outer
// circle and the zenith in the centre; a legend switches systems on and off. Details go in boxes
// beside their markers while every box finds a place clear of the others; when they cannot, as
// with thirty satellites at once, they are listed under the legend instead of piling up.
Rectangle {
    id: root
    color: "white"

    property var starSystem: []
    property var starData: []
    // Per marker ("system:prn"), whether its details are shown.
    property var starDetailStatusMap: ({})
    property bool globalShowDetail: false
    readonly property int iIconSize: 48

    function onchangeStarData(sysindex, data) {
        var d = starData.slice();
        while (d.length <= sysindex)
            d.push([]);
        d[sysindex] = data;
        starData = d;
    }
    // Systems the user switched off, index → true; kept apart from starSystem so a click does
    // not rebuild the legend under the mouse.
    property var disabledSystems: ({})
    function systemEnabled(sysindex) {
        var s = starSystem[sysindex];
        return s !== undefined && s.enable && disabledSystems[sysindex] !== true;
    }
    function toggleSystem(sysindex) {
        var d = Object.assign({}, disabledSystems);
        d[sysindex] = systemEnabled(sysindex);
        disabledSystems = d;
    }
    function detailShown(key) {
        return starDetailStatusMap[key] === true;
    }
    function toggleDetail(key) {
        var m = Object.assign({}, starDetailStatusMap);
        m[key] = !detailShown(key);
        starDetailStatusMap = m;
    }
    function setAllDetails(show) {
        var m = {};
        for (var s = 0; s < starData.length; ++s) {
            var list = starData[s] || [];
            for (var i = 0; i < list.length; ++i)
                m[s + ":" + list[i].prn] = show;
        }
        starDetailStatusMap = m;
    }
    function satelliteCount(sysindex) {
        return starData[sysindex] ? starData[sysindex].length : 0;
    }

    Component.onCompleted: {
        starSystem = GnssManager.getStarSystemData();
        GnssManager.UpdateStarInfo.connect(onchangeStarData);
    }
    // New markers follow the global switch.
    onStarDataChanged: if (globalShowDetail) setAllDetails(true)

    // ---- legend --------------------------------------------------------------------------
    Rectangle {
        id: starSpaceControl
        objectName: "starSpaceControl"
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: Math.max(240, root.width * 0.25)
        color: "#F5F5F5"

        Column {
            anchors.fill: parent
            anchors.margins: 10
            spacing: 20

            Text {
                text: qsTr("开关定位系统显示")
                font.pixelSize: 20
            }
            Repeater {
                model: root.starSystem
                delegate: Item {
                    id: legendEntry
                    objectName: "systemLegend"
                    property string systemName: modelData.name
                    property bool systemEnable: root.systemEnabled(index)
                    width: entry.width
                    height: entry.height
                    Row {
                        id: entry
                        spacing: 10
                        Rectangle {
                            width: root.iIconSize
                            height: root.iIconSize
                            color: modelData.color
                            border.width: 1
                            border.color: "black"
                        }
                        Rectangle {
                            width: root.iIconSize
                            height: root.iIconSize
                            color: "white"
                            border.width: 2
                            border.color: "black"
                            Shape {
                                anchors.fill: parent
                                visible: legendEntry.systemEnable
                                // Multisampled layers need a GPU; the software renderer draws it plain.
                                layer.enabled: GraphicsInfo.api !== GraphicsInfo.Software
                                layer.samples: 4
                                antialiasing: true
                                ShapePath {
                                    strokeWidth: 3
                                    strokeColor: "black"
                                    fillColor: "transparent"
                                    startX: root.iIconSize * 0.2; startY: root.iIconSize * 0.5
                                    PathLine { x: root.iIconSize * 0.42; y: root.iIconSize * 0.75 }
                                    PathLine { x: root.iIconSize * 0.8; y: root.iIconSize * 0.25 }
                                    PathLine { x: root.iIconSize * 0.84; y: root.iIconSize * 0.3 }
                                }
                            }
                        }
                        Text {
                            anchors.verticalCenter: parent.verticalCenter
                            text: modelData.name
                            font.pixelSize: 20
                            font.family: "Droid Sans Fallback"
                        }
                    }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: root.toggleSystem(index)
                    }
                }
            }
            Rectangle {
                objectName: "detailButton"
                width: 100
                height: 30
                radius: 5
                color: "lightgrey"
                border.width: 1
                border.color: "black"
                Text {
                    anchors.centerIn: parent
                    text: qsTr("切换详细信息显示")
                    font.pixelSize: 12
                }
                MouseArea {
                    anchors.fill: parent
                    onClicked: {
                        root.globalShowDetail = !root.globalShowDetail;
                        root.setAllDetails(root.globalShowDetail);
                    }
                }
            }
            Text {
                text: qsTr("各系统可见卫星总数")
                font.pixelSize: 20
            }
            Repeater {
                model: root.starSystem
                delegate: Text {
                    objectName: "systemCount"
                    text: modelData.name + ": " + root.satelliteCount(index)
                    color: modelData.color
                    font.pixelSize: 20
                }
            }
            ListView {
                id: detailList
                objectName: "detailList"
                visible: starSpaceMap.detailsListed
                width: parent.width
                height: Math.max(3 * 18, starSpaceControl.height - y - 20)
                clip: true
                model: visible ? starSpaceMap.listedDetails : []
                ScrollBar.vertical: ScrollBar {
                    policy: detailList.contentHeight > detailList.height ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
                }
                header: Row {
                    Text { width: 90; text: "PRN"; font.pixelSize: 14; font.bold: true }
                    Text { width: 60; text: "Elev"; font.pixelSize: 14; font.bold: true }
                    Text { width: 60; text: "Azi"; font.pixelSize: 14; font.bold: true }
                }
                delegate: Row {
                    objectName: "detailLine"
                    property string system: modelData.system
                    property int prn: modelData.prn
                    Text { width: 90; text: modelData.system + " " + modelData.prn; color: modelData.color; font.pixelSize: 14 }
                    Text { width: 60; text: modelData.elv + "°"; font.pixelSize: 14 }
                    Text { width: 60; text: modelData.azi + "°"; font.pixelSize: 14 }
                }
            }
        }
    }

    // ---- plot ----------------------------------------------------------------------------
    Item {
        id: plotArea
        anchors.left: parent.left
        anchors.right: starSpaceControl.left
        anchors.top: parent.top
        anchors.bottom: parent.bottom

        Rectangle {
            id: starSpaceMap
            objectName: "starSpaceMap"
            property real mapsize: Math.max(10, Math.min(plotArea.width, plotArea.height) - 20)
            property bool showDetail: false
            property bool showScanner: false
            property color backColor: "black"
            property color lineColor: "white"
            readonly property real radius0: mapsize / 2 - 30
            // Where each shown detail box goes, by marker key: inside the plot and clear of the
            // other boxes and markers wherever there is room.
            property var detailLayout: layoutDetails(root.starData, root.starDetailStatusMap, markerPlaces, mapsize)
            // Where each marker is drawn, by key: at its place in the sky, or, where it would hide
            // a neighbour drawn before it or an elevation label, moved just clear of them and of
            // every scale label; a line joins it to its place.
            property var markerPlaces: placeMarkers(root.starData, root.disabledSystems, mapsize)
            property var detailBoxes: detailLayout.boxes
            // Some box would cover another, a satellite or a scale label: the details are listed.
            property bool detailsListed: !detailLayout.clear
            property var listedDetails: detailLayout.listed

            function markerCentre(elv, azi) {
                var r = radius0 * (90 - Math.max(0, Math.min(90, elv))) / 90;
                var rad = azi * Math.PI / 180;
                return { x: width / 2 + Math.sin(rad) * r, y: height / 2 - Math.cos(rad) * r };
            }
            function placeMarkers(data, disabled, size) {
                var placed = [];
                var out = {};
                var apart = 25; // a marker's width and a pixel
                // The elevation labels come first: only they keep a satellite from its own place
                // (one on the horizon touches the azimuth labels just outside it).
                var labels = scaleLabels(size);
                function clear(p, moved) {
                    if (p.x < 12 || p.y < 12 || p.x > size - 12 || p.y > size - 12)
                        return false;
                    for (var q = 0; q < (moved ? labels.length : 3); ++q)
                        if (overlap({ x: p.x - 13, y: p.y - 13, w: 26, h: 26 }, labels[q]) > 0)
                            return false;
                    for (var j = 0; j < placed.length; ++j) {
                        var dx = placed[j].x - p.x;
                        var dy = placed[j].y - p.y;
                        if (dx * dx + dy * dy < apart * apart)
                            return false;
                    }
                    return true;
                }
                for (var s = 0; s < data.length; ++s) {
                    if (!root.systemEnabled(s))
                        continue;
                    var list = data[s] || [];
                    for (var i = 0; i < list.length; ++i) {
                        var c = markerCentre(list[i].elv, list[i].azi);
                        var at = c;
                        // The nearest clear spot, ring by ring, the first tried away from the middle.
                        var away = Math.atan2(c.y - size / 2, c.x - size / 2);
                        for (var ring = 1; ring <= 6 && !clear(at, at !== c); ++ring) {
                            for (var k = 0; k < 12; ++k) {
                                var a = away + (k % 2 ? 1 : -1) * Math.ceil(k / 2) * Math.PI / 6;
                                var p = { x: c.x + Math.cos(a) * apart * ring, y: c.y + Math.sin(a) * apart * ring };
                                if (clear(p, true)) {
                                    at = p;
                                    break;
                                }
                            }
                        }
                        placed.push(at);
                        out[s + ":" + list[i].prn] = { x: at.x, y: at.y, skyX: c.x, skyY: c.y };
                    }
                }
                return out;
            }
            function detailLines(sysindex, sat) {
                var system = root.starSystem[sysindex];
                return [(system ? system.name : "") + " PRN: " + sat.prn, "Elev: " + sat.elv + "°",
                        "Azi: " + sat.azi + "°"];
            }
            function overlap(a, b) {
                var w = Math.min(a.x + a.w, b.x + b.w) - Math.max(a.x, b.x);
                var h = Math.min(a.y + a.h, b.y + b.h) - Math.max(a.y, b.y);
                return w > 0 && h > 0 ? w * h : 0;
            }
            // Where the plot's own labels lie: the elevation of each ring beside the north line,
            // the azimuths outside the horizon.
            function scaleLabels(size) {
                var out = [];
                var h = Math.ceil(scaleMetrics.height);
                for (var i = 0; i < 3; ++i) {
                    var r = (size / 2 - 30) * (3 - i) / 3;
                    out.push({ x: size / 2 + 4, y: size / 2 - r + 2,
                               w: Math.ceil(scaleMetrics.advanceWidth((i * 30) + "°")), h: h });
                }
                for (var k = 0; k < 12; ++k) {
                    var a = k * 30 * Math.PI / 180;
                    var w = Math.ceil(scaleMetrics.advanceWidth((k * 30) + "°") * 1.15);
                    out.push({ x: size / 2 + Math.sin(a) * (size / 2 - 15) - w / 2,
                               y: size / 2 - Math.cos(a) * (size / 2 - 15) - h / 2, w: w, h: h });
                }
                return out;
            }
            function layoutDetails(data, shown, places, size) {
                var labels = scaleLabels(size);
                var markers = [];
                var wanted = [];
                for (var s = 0; s < data.length; ++s) {
                    if (!root.systemEnabled(s))
                        continue;
                    var list = data[s] || [];
                    for (var i = 0; i < list.length; ++i) {
                        var key = s + ":" + list[i].prn;
                        var c = places[key] || markerCentre(list[i].elv, list[i].azi);
                        markers.push({ key: key, x: c.x - 13, y: c.y - 13, w: 26, h: 26 });
                        if (shown[key] === true)
                            wanted.push({ key: key, cx: c.x, cy: c.y, lines: detailLines(s, list[i]), sysindex: s,
                                          sat: list[i] });
                    }
                }
                var boxes = {};
                var placed = [];
                var clear = true;
                var margin = 2;
                var rings = [14, 26, 42, 62, 88, 120, 160, 210, 270];
                for (var n = 0; n < wanted.length; ++n) {
                    var d = wanted[n];
                    var w = 0;
                    for (var l = 0; l < d.lines.length; ++l)
                        w = Math.max(w, detailMetrics.advanceWidth(d.lines[l]));
                    w = Math.ceil(w) + 10;
                    var h = Math.ceil(detailMetrics.height) * d.lines.length + 8;
                    var best = null;
                    var bestScore = Infinity;
                    for (var ring = 0; ring < rings.length && bestScore > 0; ++ring) {
                        for (var k = 0; k < 16 && bestScore > 0; ++k) {
                            // Right first, then left, below, above, then the diagonals between.
                            var a = [0, 180, 90, 270, 45, 135, 315, 225, 22.5, 157.5, 337.5, 202.5, 67.5, 112.5,
                                     292.5, 247.5][k] * Math.PI / 180;
                            var bx = d.cx + Math.cos(a) * (rings[ring] + w / 2) - w / 2;
                            var by = d.cy + Math.sin(a) * (rings[ring] + h / 2) - h / 2;
                            bx = Math.max(margin, Math.min(size - margin - w, bx));
                            by = Math.max(margin, Math.min(size - margin - h, by));
                            var box = { x: bx, y: by, w: w, h: h };
                            var score = 0;
                            for (var p = 0; p < placed.length; ++p)
                                score += 4 * overlap(box, placed[p]);
                            // A box may hide neither a satellite nor a scale label while there is
                            // room elsewhere; another box weighs as much.
                            for (var m = 0; m < markers.length; ++m)
                                score += (markers[m].key === d.key ? 8 : 4) * overlap(box, markers[m]);
                            for (var q = 0; q < labels.length; ++q)
                                score += 2 * overlap(box, labels[q]);
                            // Nearer is better when nothing is in the way.
                            score += score > 0 ? ring : 0;
                            if (score < bestScore) {
                                bestScore = score;
                                best = box;
                            }
                        }
                    }
                    placed.push(best);
                    boxes[d.key] = best;
                    clear = clear && bestScore === 0;
                }
                var listed = [];
                for (var t = 0; t < wanted.length; ++t) {
                    var sys = root.starSystem[wanted[t].sysindex];
                    listed.push({ system: sys ? sys.name : "", color: sys ? sys.color : "black",
                                  prn: wanted[t].sat.prn, elv: wanted[t].sat.elv, azi: wanted[t].sat.azi });
                }
                return { boxes: boxes, clear: clear, listed: listed };
            }
            FontMetrics {
                id: detailMetrics
                font.pixelSize: 12
            }
            FontMetrics {
                id: scaleMetrics
                font.pixelSize: 12
            }

            width: mapsize
            height: mapsize
            anchors.centerIn: parent
            color: backColor
            clip: true
            antialiasing: true

            // Elevation circles at 0, 30 and 60 degrees.
            Repeater {
                model: 3
                delegate: Rectangle {
                    property real r: starSpaceMap.radius0 * (3 - index) / 3
                    x: starSpaceMap.width / 2 - r
                    y: starSpaceMap.height / 2 - r
                    width: 2 * r
                    height: 2 * r
                    radius: r
                    color: "transparent"
                    border.width: 1
                    border.color: starSpaceMap.lineColor
                    antialiasing: true
                    Text {
                        objectName: "scaleLabel"
                        // Beside the north line rather than on it.
                        x: parent.width / 2 + 4
                        y: 2
                        text: (index * 30) + "°"
                        color: starSpaceMap.lineColor
                        font.pixelSize: 12
                    }
                }
            }
            // Twelve azimuth lines, every 30 degrees, labelled outside the horizon.
            Repeater {
                model: 12
                delegate: Item {
                    property real angle: index * 30
                    x: starSpaceMap.width / 2
                    y: starSpaceMap.height / 2
                    Rectangle {
                        width: 1
                        height: starSpaceMap.radius0
                        color: starSpaceMap.lineColor
                        opacity: 0.6
                        transformOrigin: Item.Top
                        rotation: 180 + parent.angle
                        antialiasing: true
                    }
                    Text {
                        objectName: "scaleLabel"
                        property real rad: (parent.angle) * Math.PI / 180
                        x: Math.sin(rad) * (starSpaceMap.radius0 + 15) - width / 2
                        y: -Math.cos(rad) * (starSpaceMap.radius0 + 15) - height / 2
                        text: parent.angle + "°"
                        color: starSpaceMap.lineColor
                        font.bold: true
                        font.pixelSize: 12
                    }
                }
            }
            // Radar sweep.
            Shape {
                id: sweepLine
                objectName: "sweepLine"
                visible: starSpaceMap.showScanner
                opacity: 0.5
                width: starSpaceMap.width
                height: starSpaceMap.height
                ShapePath {
                    strokeWidth: 0
                    strokeColor: "transparent"
                    fillGradient: ConicalGradient {
                        angle: 60
                        centerX: starSpaceMap.width / 2
                        centerY: starSpaceMap.height / 2
                        GradientStop { position: 0; color: "lime" }
                        GradientStop { position: 0.11; color: "transparent" }
                    }
                    startX: starSpaceMap.width / 2; startY: starSpaceMap.height / 2
                    PathAngleArc {
                        centerX: starSpaceMap.width / 2
                        centerY: starSpaceMap.height / 2
                        radiusX: starSpaceMap.radius0
                        radiusY: starSpaceMap.radius0
                        startAngle: 0
                        sweepAngle: 360
                    }
                }
                NumberAnimation on rotation {
                    from: -30
                    to: 330
                    duration: 3000
                    loops: Animation.Infinite
                    running: starSpaceMap.showScanner
                }
            }

            // Under every marker, a line from a marker that had to move to its place in the sky.
            Repeater {
                model: root.starData.length
                delegate: Item {
                    id: lineLayer
                    property int sysindex: index
                    property var system: root.starSystem[sysindex]
                    anchors.fill: parent
                    visible: root.systemEnabled(sysindex)
                    Repeater {
                        model: root.starData[lineLayer.sysindex]
                        delegate: Rectangle {
                            objectName: "skyPlace"
                            property var place: starSpaceMap.markerPlaces[lineLayer.sysindex + ":" + modelData.prn]
                            property real dx: place ? place.skyX - place.x : 0
                            property real dy: place ? place.skyY - place.y : 0
                            property real length: Math.sqrt(dx * dx + dy * dy)
                            visible: length > 12
                            x: place ? place.x : 0
                            y: place ? place.y : 0
                            width: 1
                            height: length
                            color: lineLayer.system ? lineLayer.system.color : "grey"
                            transformOrigin: Item.Top
                            rotation: Math.atan2(-dx, dy) * 180 / Math.PI
                            antialiasing: true
                            Rectangle {
                                x: -2
                                y: parent.height - 2
                                width: 5
                                height: 5
                                radius: 2.5
                                color: parent.color
                            }
                        }
                    }
                }
            }
            // One marker per satellite of every enabled system.
            Repeater {
                model: root.starData.length
                delegate: Item {
                    id: systemLayer
                    property int sysindex: index
                    property var system: root.starSystem[sysindex]
                    anchors.fill: parent
                    visible: root.systemEnabled(sysindex)
                    Repeater {
                        model: root.starData[systemLayer.sysindex]
                        delegate: Item {
                            id: marker
                            objectName: "starMarker"
                            property int sysindex: systemLayer.sysindex
                            property int prn: modelData.prn
                            property int elv: modelData.elv
                            property int azi: modelData.azi
                            property string key: sysindex + ":" + prn
                            property bool detail: root.detailShown(key)
                            property var place: starSpaceMap.markerPlaces[key]
                            x: (place ? place.x : starSpaceMap.markerCentre(elv, azi).x) - 12
                            y: (place ? place.y : starSpaceMap.markerCentre(elv, azi).y) - 12
                            width: 24
                            height: 24
                            z: detail ? 2 : 1

                            Rectangle {
                                anchors.fill: parent
                                radius: 12
                                color: systemLayer.system ? systemLayer.system.color : "grey"
                                antialiasing: true
                            }
                            Text {
                                anchors.centerIn: parent
                                text: marker.prn
                                color: "white"
                                font.bold: true
                                font.pixelSize: 12
                            }
                            MouseArea {
                                anchors.fill: parent
                                onClicked: root.toggleDetail(marker.key)
                            }
                            // A thin line to the box when it had to move away from its marker.
                            Rectangle {
                                id: leader
                                property var box: starSpaceMap.detailBoxes[marker.key]
                                property real tx: box ? Math.max(box.x, Math.min(box.x + box.w, marker.x + 12)) - marker.x : 12
                                property real ty: box ? Math.max(box.y, Math.min(box.y + box.h, marker.y + 12)) - marker.y : 12
                                property real length: Math.sqrt((tx - 12) * (tx - 12) + (ty - 12) * (ty - 12))
                                visible: marker.detail && !starSpaceMap.detailsListed && box !== undefined && length > 16
                                x: 12
                                y: 12
                                width: 1
                                height: length
                                color: "lightgrey"
                                transformOrigin: Item.Top
                                rotation: Math.atan2(-(tx - 12), ty - 12) * 180 / Math.PI
                                antialiasing: true
                            }
                            Item {
                                objectName: "starDetail"
                                property var box: starSpaceMap.detailBoxes[marker.key]
                                visible: marker.detail && !starSpaceMap.detailsListed
                                x: box ? box.x - marker.x : 26
                                y: box ? box.y - marker.y : -4
                                width: details.width + 10
                                height: details.height + 8
                                // Only the box is translucent; its lines stay plain white.
                                Rectangle {
                                    anchors.fill: parent
                                    radius: 5
                                    color: "black"
                                    opacity: 0.65
                                    border.width: 1
                                    border.color: "grey"
                                }
                                Column {
                                    id: details
                                    x: 5
                                    y: 4
                                    Text {
                                        text: (systemLayer.system ? systemLayer.system.name : "") + " PRN: " + marker.prn
                                        color: "white"
                                        font.pixelSize: 12
                                    }
                                    Text { text: "Elev: " + marker.elv + "°"; color: "white"; font.pixelSize: 12 }
                                    Text { text: "Azi: " + marker.azi + "°"; color: "white"; font.pixelSize: 12 }
                                }
                            }
                        }
                    }
                }
            }
        }
    }
}
