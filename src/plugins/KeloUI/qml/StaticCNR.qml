import QtQuick 2.12
import QtQuick.Shapes 1.12
import QtQuick.Controls 2.12
import Cpp.SkyvaneManager 1.0

// Carrier-to-noise bars of the receiver's satellites: one chart per display system, one group
// of bars per satellite, one bar per band; a legend switches bands on and off.
Rectangle {
    id: root
    color: "white"

    property var starSystem: []
    property var starData: []
    property var starFrequent: []
    // Legend entries flow top to bottom, or left to right when the legend is wider than tall.
    property int iLegendDirect: cnrControl.width > cnrControl.height ? 0 : 1
    property bool bCombineLegend: false
    readonly property int iIconSize: 32
    readonly property real maxCnr: 60
    // False while the receiver is not sending (output closed, relay gone): the last bars stay
    // readable but grey, as the rows beside them.
    property bool current: true

    function onchangeStarData(sysindex, data) {
        var d = starData.slice();
        while (d.length <= sysindex)
            d.push([]);
        d[sysindex] = data;
        starData = d;
    }
    // Bands the user switched off, "system:column" → true; kept apart from starFrequent so a
    // click does not rebuild the legend under the mouse.
    property var disabledBands: ({})
    function bandEnabled(sysindex, column) {
        var bands = starFrequent[sysindex];
        if (bands && bands[column] && !bands[column].enable)
            return false;
        return disabledBands[sysindex + ":" + column] !== true;
    }
    function bandColor(sysindex, column) {
        var bands = starFrequent[sysindex];
        return bands && bands[column] ? bands[column].color : "grey";
    }
    function toggleBand(sysindex, column) {
        var d = Object.assign({}, disabledBands);
        d[sysindex + ":" + column] = bandEnabled(sysindex, column);
        disabledBands = d;
    }

    Component.onCompleted: {
        starSystem = GnssManager.getStarSystemData();
        starFrequent = GnssManager.getStarFrequencyData();
        GnssManager.UpdateStarInfo.connect(onchangeStarData);
    }
    onStarDataChanged: baseColumn.redraw()

    // ---- legend --------------------------------------------------------------------------
    Rectangle {
        id: cnrControl
        objectName: "cnrControl"
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: Math.max(200, root.width * 0.18)
        color: "#F5F5F5"

        Column {
            anchors.fill: parent
            anchors.margins: 10
            spacing: 20

            Text {
                text: qsTr("开关频点显示")
                font.pixelSize: 20
            }
            Repeater {
                model: root.starFrequent.length
                delegate: Column {
                    property int sysindex: index
                    spacing: 10
                    width: parent.width
                    Text {
                        text: root.starSystem[sysindex] ? root.starSystem[sysindex].name : ""
                        font.pixelSize: 20
                        font.family: "Droid Sans Fallback"
                    }
                    Flow {
                        width: parent.width
                        spacing: 10
                        flow: root.iLegendDirect === 0 ? Flow.LeftToRight : Flow.TopToBottom
                        Repeater {
                            model: root.starFrequent[sysindex]
                            delegate: Item {
                                id: legendEntry
                                objectName: "bandLegend"
                                property string bandName: modelData.name
                                property bool bandEnable: root.bandEnabled(sysindex, index)
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
                                        visible: legendEntry.bandEnable
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
                                    font.family: "Droid Sans Fallback"
                                    font.pixelSize: 16
                                }
                                }
                                MouseArea {
                                    anchors.fill: parent
                                    onClicked: root.toggleBand(sysindex, index)
                                }
                            }
                        }
                    }
                }
            }
        }
    }

    // ---- charts --------------------------------------------------------------------------
    Text {
        id: title
        anchors.top: parent.top
        anchors.topMargin: 8
        anchors.horizontalCenter: baseColumn.horizontalCenter
        text: qsTr("各系统卫星载噪比数")
        font.pixelSize: 20
    }

    Column {
        id: baseColumn
        objectName: "baseColumn"
        anchors.left: parent.left
        anchors.right: cnrControl.left
        anchors.top: title.bottom
        anchors.bottom: parent.bottom
        anchors.margins: 10

        property int fontSize: 20
        property int bandOffset: 10
        property int satelliteOffset: 10
        property int leftOffset: 40
        readonly property int shownCharts: Math.max(1, Math.min(2, root.starSystem.length))

        // The bars follow starData through their bindings; a new list replaces the old groups.
        function redraw() {}

        Repeater {
            model: 2
            delegate: Item {
                id: baseChartRect
                objectName: "baseChartRect"
                property int sysindex: index
                property var satellites: root.starData[sysindex] ? root.starData[sysindex] : []
                property int bandCount: root.starFrequent[sysindex] ? root.starFrequent[sysindex].length : 0
                visible: sysindex < root.starSystem.length
                width: baseColumn.width
                height: visible ? baseColumn.height / baseColumn.shownCharts : 0

                readonly property real chartTop: 20
                // Room below the PRN labels for the scroll bar.
                readonly property real chartBottom: height - 36
                readonly property real chartHeight: Math.max(1, chartBottom - chartTop)

                Text {
                    x: baseColumn.leftOffset + 8
                    y: 0
                    text: root.starSystem[sysindex] ? root.starSystem[sysindex].name : ""
                    color: root.starSystem[sysindex] ? root.starSystem[sysindex].color : "black"
                    font.pixelSize: 16
                    font.bold: true
                }

                // Grid lines and their values.
                Repeater {
                    model: 6
                    delegate: Item {
                        property real value: root.maxCnr * (index + 1) / 6
                        y: baseChartRect.chartBottom - baseChartRect.chartHeight * value / root.maxCnr
                        x: 0
                        width: baseChartRect.width
                        Rectangle {
                            x: baseColumn.leftOffset
                            width: parent.width - baseColumn.leftOffset
                            height: 1
                            color: "lightgrey"
                        }
                        Text {
                            x: 0
                            width: baseColumn.leftOffset - 4
                            y: -height / 2
                            horizontalAlignment: Text.AlignRight
                            text: Math.round(parent.value)
                            font.pixelSize: 12
                        }
                    }
                }
                // Axes.
                Rectangle {
                    x: baseColumn.leftOffset
                    y: baseChartRect.chartTop
                    width: 1
                    height: baseChartRect.chartHeight
                    color: "black"
                }
                Rectangle {
                    x: baseColumn.leftOffset
                    y: baseChartRect.chartBottom
                    width: baseChartRect.width - baseColumn.leftOffset
                    height: 1
                    color: "black"
                }

                Flickable {
                    id: baseChartContent
                    objectName: "baseChartContent"
                    x: baseColumn.leftOffset + 1
                    y: 0
                    width: baseChartRect.width - x
                    height: baseChartRect.height
                    clip: true
                    contentWidth: groups.width + baseColumn.satelliteOffset
                    contentHeight: height
                    flickableDirection: Flickable.HorizontalFlick
                    // Shown for as long as satellites lie beyond the edge: the style's bar
                    // appears only while the chart moves, and nothing else tells there are more.
                    ScrollBar.horizontal: ScrollBar {
                        id: chartScroll
                        objectName: "chartScrollBar"
                        readonly property bool needed: baseChartContent.contentWidth > baseChartContent.width
                        policy: needed ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
                        visible: needed
                        contentItem: Rectangle {
                            objectName: "chartScrollHandle"
                            implicitHeight: 8
                            radius: 4
                            color: chartScroll.pressed ? "#505050" : "#8C8C8C"
                        }
                        background: Rectangle {
                            implicitHeight: 8
                            radius: 4
                            color: "#E6E6E6"
                        }
                    }

                    Row {
                        id: groups
                        x: baseColumn.satelliteOffset
                        spacing: baseColumn.satelliteOffset
                        Repeater {
                            model: baseChartRect.satellites
                            delegate: Item {
                                id: group
                                objectName: "satelliteGroup"
                                property int prn: modelData.prn
                                property var cnr: modelData.cnr
                                readonly property int barWidth: 14
                                width: Math.max(prnLabel.width, bars.width)
                                height: baseChartRect.height

                                Row {
                                    id: bars
                                    y: baseChartRect.chartTop
                                    height: baseChartRect.chartHeight
                                    Repeater {
                                        model: baseChartRect.bandCount
                                        delegate: Row {
                                            height: bars.height
                                            // The column keeps its place when its bar is empty or switched off.
                                            Item {
                                                width: group.barWidth
                                                height: bars.height
                                                Rectangle {
                                                    objectName: "cnrBar"
                                                    property int prn: group.prn
                                                    property int column: index
                                                    property int value: group.cnr[index] !== undefined ? group.cnr[index] : 0
                                                    visible: value > 0 && root.bandEnabled(baseChartRect.sysindex, index)
                                                    width: group.barWidth
                                                    height: Math.min(bars.height, bars.height * value / root.maxCnr)
                                                    y: bars.height - height
                                                    color: root.current ? root.bandColor(baseChartRect.sysindex, index)
                                                                        : "#C0C0C0"
                                                }
                                            }
                                            Rectangle {
                                                width: 1
                                                height: bars.height
                                                color: "lightgrey"
                                                visible: index < baseChartRect.bandCount - 1
                                            }
                                        }
                                    }
                                }
                                Text {
                                    id: prnLabel
                                    anchors.horizontalCenter: bars.horizontalCenter
                                    y: baseChartRect.chartBottom + 4
                                    text: modelData.prn
                                    font.pixelSize: 14
                                }
                            }
                        }
                    }
                }
            }
        }
    }
}
