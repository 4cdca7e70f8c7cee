// bridge
